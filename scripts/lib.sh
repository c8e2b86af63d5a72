# Shared by the scripts: packages, build, Wine prefix, Xvfb, cleanup.
# Source it; it defines functions only (plus ROOT, WSLC_PRESET and the build
# directory, BUILD_DIR, with what use_build_dir derives from it).
# WSLC_COMPILER=clang selects the clang build (preset linux-mingw-clang,
# build-clang/) instead of the GCC one (linux-mingw, build/).

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# use_build_dir DIR: the build directory from now on (a relative DIR is in
# the tree), and what lies in it that the scripts name.
use_build_dir() {
  case "$1" in /*) BUILD_DIR=$1 ;; *) BUILD_DIR=$ROOT/$1 ;; esac
  # Where tests/wine-exec keeps a test's output while it runs (the build's
  # tests/CMakeLists.txt names the same directory).
  WSLC_WINE_EXEC_TMP=$BUILD_DIR/wine-exec-tmp
}

case "${WSLC_COMPILER:-gcc}" in
  gcc) WSLC_PRESET=linux-mingw; use_build_dir "${BUILD_DIR:-build}" ;;
  clang) WSLC_PRESET=linux-mingw-clang; use_build_dir "${BUILD_DIR:-build-clang}" ;;
  *) printf 'WSLC_COMPILER is gcc or clang, not %s\n' "$WSLC_COMPILER" >&2; exit 2 ;;
esac

# clang and lld build the same tree as GCC does, against GCC's MinGW-w64
# headers and libraries.
WSLC_PACKAGES=(cmake ninja-build g++ googletest
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 clang lld
  wine wine64 xvfb xdotool x11-utils imagemagick)

log() { printf '[%s] %s\n' "$(basename "$0")" "$*" >&2; }

# cleanup_on_exit FUNCTION: runs FUNCTION once when the script ends, however
# it ends. On HUP, INT or TERM the script exits 128+signal after it; the EXIT
# trap that exit raises finds the work done. (bash runs a trap once the
# command in the foreground has returned.)
cleanup_on_exit() {
  WSLC_CLEANUP=$1
  WSLC_CLEANED=
  trap 'run_cleanup' EXIT
  trap 'run_cleanup; exit 129' HUP
  trap 'run_cleanup; exit 130' INT
  trap 'run_cleanup; exit 143' TERM
}

run_cleanup() {
  [ -n "$WSLC_CLEANED" ] && return 0
  WSLC_CLEANED=1
  set +e
  "$WSLC_CLEANUP"
}

# Installs whatever the build and the tests need and is not there yet.
ensure_packages() {
  local missing=() p
  for p in "${WSLC_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Configures (once) and builds everything in BUILD_DIR.
build_all() {
  if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake --preset "$WSLC_PRESET" -S "$ROOT" -B "$BUILD_DIR" >/dev/null
  fi
  cmake --build "$BUILD_DIR" -- -j"$(nproc)"
}

# Starts a private Xvfb; sets DISPLAY and XVFB_PID. Xvfb picks the display
# itself (-displayfd), so runs side by side never take the same one; it
# writes the number once it accepts connections. A start that does not come
# up fails loudly. The caller stops it with stop_xvfb (scripts install a trap).
start_xvfb() {
  local ready i n=
  ready=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
  XVFB_PID=$!
  for i in $(seq 1 200); do
    # The line is whole once its line feed is written.
    if [ "$(wc -l <"$ready")" -ge 1 ]; then n=$(head -n 1 "$ready"); break; fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$ready"
  if [ -z "$n" ]; then
    log "Xvfb did not start"
    stop_xvfb
    return 1
  fi
  export DISPLAY=":$n"
}

stop_xvfb() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}

# The Wine environment of a build directory: its own prefix, no debug noise,
# and no attempt to fetch the .NET or HTML engines (there is no network).
wine_env() {
  export WINEPREFIX="$BUILD_DIR/wineprefix"
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
}

# Makes the prefix once per build directory: every program runs inside a
# 1600x900 virtual desktop (so maximized windows and key input work without a
# window manager) and a crash never waits on a dialog. Then installs the WSL
# stand-in into its system32.
prepare_prefix() {
  wine_env
  if [ ! -f "$WINEPREFIX/.wslc-ready" ]; then
    log "creating Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1600x900 /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.wslc-ready"
  fi
  local sys32="$WINEPREFIX/drive_c/windows/system32"
  if [ -f "$BUILD_DIR/tools/wsl.exe" ]; then
    cp -u "$BUILD_DIR/tools/wsl.exe" "$BUILD_DIR/tools/wsl-relay" "$sys32/"
  fi
}

# The end-to-end tests' own prefixes, copies of the main one made once per
# build directory: in "scripted" the tests install their scripted shell as
# wsl.exe; "noshell" has no wsl.exe, so the console's launch fails there.
WSLC_TEST_PREFIXES=(scripted noshell)

prepare_test_prefixes() {
  wine_env
  local name dir
  for name in "${WSLC_TEST_PREFIXES[@]}"; do
    dir="$BUILD_DIR/wineprefix-$name"
    [ -f "$dir/.wslc-ready" ] && continue
    log "creating Wine prefix $dir"
    wineserver -w   # the main prefix's registry is on disk before it is copied
    rm -rf "$dir" "$dir.partial"
    cp -a "$WINEPREFIX" "$dir.partial"
    rm -f "$dir.partial/drive_c/windows/system32/wsl.exe" "$dir.partial/drive_c/windows/system32/wsl-relay"
    mv "$dir.partial" "$dir"
  done
}

# Starts a persistent wineserver and the virtual desktop in each test prefix
# (stop_test_prefixes ends them).
start_test_prefixes() {
  local name
  for name in "${WSLC_TEST_PREFIXES[@]}"; do
    WINEPREFIX="$BUILD_DIR/wineprefix-$name" wineserver -p >/dev/null 2>&1
    start_wine_desktop "$BUILD_DIR/wineprefix-$name" || return 1
  done
}

stop_test_prefixes() {
  local name
  for name in "${WSLC_TEST_PREFIXES[@]}"; do
    [ -d "$BUILD_DIR/wineprefix-$name" ] && WINEPREFIX="$BUILD_DIR/wineprefix-$name" wineserver -k 2>/dev/null
  done
  return 0
}

# Starts the virtual desktop and Wine's services ahead of the programs, with
# no terminal or pipe attached, so no program's output is held open by them,
# and waits (at most a minute) until the desktop's window has been mapped on
# the display. Wine closes a desktop soon after its last program has gone
# (each test's programs bring it up again), so the window is caught as X
# reports it, not looked up afterwards. The display is this run's own, and
# the desktops start one at a time: a 1600x900 window mapped now is the one.
# An argument names another prefix than the main one.
start_wine_desktop() {
  wine_env
  [ -n "${1:-}" ] && export WINEPREFIX="$1"
  local events xev_pid i watching= ok=
  events=$(mktemp)
  xev -root -event substructure -event property >"$events" 2>/dev/null &
  xev_pid=$!
  # A property set on the root window once xev reports it: it is listening.
  for i in $(seq 1 100); do
    xprop -root -f WSLC_WATCH 8s -set WSLC_WATCH "$BASHPID.$i" 2>/dev/null
    if grep -q '^PropertyNotify' "$events"; then watching=1; break; fi
    sleep 0.1
  done
  if [ -z "$watching" ]; then
    kill "$xev_pid" 2>/dev/null
    wait "$xev_pid" 2>/dev/null || true
    rm -f "$events"
    log "cannot watch $DISPLAY for the Wine desktop (xev)"
    return 1
  fi
  wine explorer /desktop=Default,1600x900 </dev/null >/dev/null 2>&1 &
  for i in $(seq 1 600); do
    if awk '/^CreateNotify/ { getline; if ($0 ~ /width 1600, height 900/) { sub(/,.*/, "", $4); big[$4] = 1 } }
            /^MapNotify/ { getline; w = $4; sub(/,.*/, "", w); if (w in big) { found = 1; exit } }
            END { exit !found }' "$events"; then
      ok=1
      break
    fi
    sleep 0.1
  done
  kill "$xev_pid" 2>/dev/null
  wait "$xev_pid" 2>/dev/null || true
  rm -f "$events"
  if [ -z "$ok" ]; then
    log "the Wine desktop of $WINEPREFIX did not appear on $DISPLAY within 60 s"
    return 1
  fi
  wine_env
}

# A private Xvfb with the main prefix, its persistent wineserver and desktop,
# for the scripts that run one Windows tool; stop_wine_session ends them.
start_wine_session() {
  start_xvfb || return 1
  prepare_prefix
  wineserver -p >/dev/null 2>&1  # its leak reports at exit are noise
  start_wine_desktop
}

stop_wine_session() {
  set +e
  # Everything Wine runs for this prefix now is ours and bound to our display.
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
  stop_xvfb
  return 0
}

# The Wine session scripts/test runs the suite in: a Wine session whose
# prefixes include the end-to-end tests' own, each with its wineserver and
# desktop for the whole run, so each test does not pay for new ones.
start_test_session() {
  start_xvfb || return 1
  prepare_prefix
  prepare_test_prefixes
  wineserver -p >/dev/null 2>&1
  start_wine_desktop
  start_test_prefixes
}

# Ends the test session. ctest ends a test past its time-out with SIGKILL,
# which tests/wine-exec cannot trap: the output files of such a test are
# removed here.
stop_test_session() {
  stop_test_prefixes
  stop_wine_session
  rm -rf "$WSLC_WINE_EXEC_TMP"
  return 0
}
