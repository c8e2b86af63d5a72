#!/bin/sh
# The exe must run on a bare Windows: every DLL it imports ships with Windows
# (the C and C++ runtimes are linked in statically).
set -eu
exe=$1
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dlls" ] || { echo "no import table found in $exe"; exit 1; }
bad=0
for d in $dlls; do
  case "$d" in
    kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|advapi32.dll|shell32.dll|ole32.dll|winmm.dll|msvcrt.dll|ws2_32.dll|uxtheme.dll|ntdll.dll) echo "ok: $d" ;;
    *) echo "not a Windows DLL: $d"; bad=1 ;;
  esac
done
exit $bad
