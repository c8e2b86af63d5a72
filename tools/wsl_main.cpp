// wsl.exe: the Windows half of the WSL stand-in, for Linux hosts where Wine
// plays Windows. Wine cannot hand Windows pipes to a Linux process, so this
// program listens on loopback, starts wsl-relay (the Linux half, found beside
// this program) with a one-time token in its environment, accepts only the
// peer that proves the token, and then relays: its standard input to the
// command, the command's standard output and error back to its own handles,
// kept apart, and finally the command's exit code, which becomes its own.
//
// It is a console program that needs no console: its parent is a hidden GUI
// process that gives it three pipes, and it touches nothing but those handles.
//
// WSL_STANDIN_RELAY names another relay program and WSL_STANDIN_WAIT_MS
// shortens the wait for it; the tests use both. Two more variables make it
// act as wsl.exe does in situations the console meets but cannot change:
//   WSL_STANDIN_NO_DISTRIBUTION=1  no distribution installed: the message
//                                  on standard output, exit code -1, nothing
//                                  read and nothing started
//   WSL_STANDIN_START_DELAY_MS=N   a cold start of WSL 2: N ms with nothing
//                                  shown and nothing read before the command
//                                  starts
// The command gets a terminal nobody sees, as under WSL 2, unless
// WSL_STANDIN_NO_TERMINAL is set (wsl-relay reads it).

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <ntsecapi.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/scoped.h"
#include "tools/relay_protocol.h"
#include "tools/wsl_messages.h"

namespace {

using relay::FrameType;
using relay::HeaderSize;
using relay::MaxPayload;
using toolkit::UniqueHandle;

// wsl.exe's own fatal errors end it with -1.
constexpr int WslFailure = -1;
// The exit code of the stand-in's own failures (no relay, lost connection),
// out of the way of the small codes commands use.
constexpr int StandInFailure = 255;
constexpr DWORD DefaultRelayWaitMs = 15000;
// A peer gets this long to present its token before it is dropped.
constexpr DWORD HelloTimeoutMs = 5000;

struct SocketTraits {
    using Type = SOCKET;
    static Type None() noexcept { return INVALID_SOCKET; }
    static void Close(Type s) noexcept { closesocket(s); }
};
using UniqueSocket = toolkit::Unique<SocketTraits>;

// Writes all n bytes, looping over partial writes. False once the handle is
// gone (the reader closed its end); the caller then drops that stream.
bool WriteAll(HANDLE h, const void* data, size_t n) noexcept {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const DWORD piece = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
        DWORD written = 0;
        if (!WriteFile(h, p, piece, &written, nullptr)) return false;
        p += written;
        n -= written;
    }
    return true;
}

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

int Fail(const std::string& message) noexcept {
    const std::string line = "wsl.exe: " + message + "\n";
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err && err != INVALID_HANDLE_VALUE) (void)WriteAll(err, line.data(), line.size());  // nothing more to do if it fails
    return StandInFailure;
}

// What follows the program name on the command line, as the relay should run
// it: the program name ends at its closing quote or at the first blank.
std::wstring_view CommandTail(std::wstring_view line) {
    size_t i = 0;
    if (!line.empty() && line[0] == L'"') {
        i = line.find(L'"', 1);
        i = i == std::wstring_view::npos ? line.size() : i + 1;
    } else {
        while (i < line.size() && line[i] != L' ' && line[i] != L'\t') ++i;
    }
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    return line.substr(i);
}

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(buffer, n) : std::wstring();
}

std::wstring RelayPath() {
    std::wstring chosen = Environment(L"WSL_STANDIN_RELAY");
    if (!chosen.empty()) return chosen;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return L"wsl-relay";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return path.substr(0, slash == std::wstring::npos ? 0 : slash + 1) + L"wsl-relay";
}

DWORD Milliseconds(const wchar_t* variable, DWORD fallback) {
    const std::wstring text = Environment(variable);
    const unsigned long v = text.empty() ? 0 : wcstoul(text.c_str(), nullptr, 10);
    return v > 0 ? static_cast<DWORD>(v) : fallback;
}

// wsl.exe writes its own messages as a console program in a wide text mode
// would: every line feed becomes CR LF, so a message line that already ends
// in CR LF comes out as CR CR LF. On a pipe that text is UTF-16LE without a
// byte-order mark, unless WSL_UTF8 is 1, which makes it UTF-8.
std::string OwnMessageBytes(std::wstring_view message) {
    std::wstring text;
    for (const wchar_t c : message) {
        if (c == L'\n') text += L'\r';
        text += c;
    }
    if (Environment(L"WSL_UTF8") == L"1") return ToUtf8(text);
    std::string bytes;
    for (const wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// No distribution installed: wsl.exe says so on standard output and ends at
// once, without reading its input.
int NoDistribution() {
    const std::string bytes = OwnMessageBytes(wsl_messages::NoDistribution);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE) (void)WriteAll(out, bytes.data(), bytes.size());  // ends either way
    return WslFailure;
}

bool MakeToken(std::string& token) {
    unsigned char random[relay::TokenLength / 2];
    if (!RtlGenRandom(random, sizeof random)) return false;
    static const char digits[] = "0123456789abcdef";
    token.clear();
    for (const unsigned char b : random) {
        token += digits[b >> 4];
        token += digits[b & 15];
    }
    return true;
}

bool SendAll(SOCKET s, const char* p, size_t n) noexcept {
    while (n > 0) {
        const int piece = n > 0x40000000 ? 0x40000000 : static_cast<int>(n);
        const int sent = send(s, p, piece, 0);
        if (sent <= 0) return false;
        p += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

// Waits until s is readable or the deadline (GetTickCount64) has passed.
bool WaitReadable(SOCKET s, ULONGLONG deadline) noexcept {
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        const ULONGLONG left = deadline - now;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval tv{static_cast<long>(left / 1000), static_cast<long>(left % 1000) * 1000};
        const int r = select(0, &set, nullptr, nullptr, &tv);
        if (r > 0) return true;
        if (r < 0) return false;
    }
}

bool RecvExact(SOCKET s, unsigned char* p, size_t n, ULONGLONG deadline) noexcept {
    while (n > 0) {
        if (!WaitReadable(s, deadline)) return false;
        const int r = recv(s, reinterpret_cast<char*>(p), static_cast<int>(n), 0);
        if (r <= 0) return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

// A peer is ours only if its first frame is a hello carrying the token.
bool PeerProvesToken(SOCKET peer, const std::string& token, ULONGLONG deadline) noexcept {
    unsigned char header[HeaderSize];
    if (!RecvExact(peer, header, HeaderSize, deadline)) return false;
    const relay::FrameHeader h = relay::DecodeHeader(header);
    if (h.type != FrameType::Hello || h.length != relay::TokenLength) return false;
    unsigned char presented[relay::TokenLength];
    if (!RecvExact(peer, presented, sizeof presented, deadline)) return false;
    return relay::TokenMatches(presented, sizeof presented, token.c_str());
}

// The relay's side of the launch: Wine runs a Linux program natively and
// returns no process handle for it; a Windows relay (as the tests use) has one,
// and its early end need not be waited out.
struct RelayLaunch {
    UniqueHandle process;
    std::string error;
};

RelayLaunch StartRelay(const std::wstring& path, unsigned port, const std::string& token) {
    RelayLaunch launch;
    // The environment is the only way in that other processes cannot read.
    // Nothing else runs in this process yet, so setting it here and clearing
    // it after the start affects no one else.
    // A relay started without them could never connect: say why now, not
    // as a wait for it that runs out.
    if (!SetEnvironmentVariableA(relay::PortVariable, std::to_string(port).c_str()) ||
        !SetEnvironmentVariableA(relay::TokenVariable, token.c_str())) {
        const DWORD error = GetLastError();
        launch.error = "cannot pass the connection to the Linux relay (error " + std::to_string(error) + ")";
        return launch;
    }
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    // No standard handles: the relay must not hold this process's pipes open.
    si.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    const DWORD error = GetLastError();
    SetEnvironmentVariableA(relay::PortVariable, nullptr);
    SetEnvironmentVariableA(relay::TokenVariable, nullptr);
    if (!started) {
        launch.error = "cannot start the Linux relay " + ToUtf8(path) + " (error " + std::to_string(error) + ")";
        return launch;
    }
    if (pi.hThread) CloseHandle(pi.hThread);
    launch.process.reset(pi.hProcess);
    return launch;
}

// Accepts peers until one proves the token; a peer that does not is closed
// and the wait goes on, up to the deadline.
UniqueSocket AcceptRelay(SOCKET listener, const std::string& token, HANDLE relayProcess, DWORD waitMs,
                         std::string& error) {
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            error = "the Linux relay did not connect within " + std::to_string(waitMs) + " ms";
            return {};
        }
        const ULONGLONG slice = now + 100 < deadline ? now + 100 : deadline;
        if (WaitReadable(listener, slice)) {
            UniqueSocket peer(accept(listener, nullptr, nullptr));
            if (!peer) continue;
            const ULONGLONG helloDeadline = GetTickCount64() + HelloTimeoutMs;
            if (PeerProvesToken(peer.get(), token, helloDeadline < deadline ? helloDeadline : deadline)) return peer;
            // Refused: peer closes here.
        } else if (relayProcess && WaitForSingleObject(relayProcess, 0) == WAIT_OBJECT_0) {
            error = "the Linux relay ended without connecting";
            return {};
        }
    }
}

struct StdinPump {
    SOCKET sock;
    HANDLE input;
};

bool SendFrame(SOCKET s, FrameType type, const void* payload, size_t length) noexcept {
    unsigned char header[HeaderSize];
    relay::EncodeHeader(header, type, static_cast<uint32_t>(length));
    return SendAll(s, reinterpret_cast<const char*>(header), HeaderSize) &&
           SendAll(s, static_cast<const char*>(payload), length);
}

// Carries this process's standard input to the command, and its end as
// StdinEnd so the relay closes the command's input.
DWORD WINAPI PumpStdin(void* param) noexcept {
    const StdinPump pump = *static_cast<StdinPump*>(param);
    const bool usable = pump.input && pump.input != INVALID_HANDLE_VALUE;
    std::vector<char> frame(HeaderSize + MaxPayload);
    while (usable) {
        DWORD got = 0;
        if (!ReadFile(pump.input, frame.data() + HeaderSize, MaxPayload, &got, nullptr)) break;
        if (got == 0) {
            // A zero-byte read is the end of a file, and of a Unix pipe under
            // Wine; on a Windows pipe it can also echo a zero-byte write, and
            // then the pipe still answers a peek.
            DWORD available = 0;
            if (PeekNamedPipe(pump.input, nullptr, 0, nullptr, &available, nullptr)) continue;
            break;
        }
        relay::EncodeHeader(reinterpret_cast<unsigned char*>(frame.data()), FrameType::Stdin, got);
        if (!SendAll(pump.sock, frame.data(), HeaderSize + got)) return 0;
    }
    (void)SendFrame(pump.sock, FrameType::StdinEnd, nullptr, 0);  // a lost connection shows on the main thread
    return 0;
}

// Where a stream's bytes go; a broken handle drops the rest of that stream.
struct Sink {
    HANDLE handle;
    bool open;
    void Write(const unsigned char* p, size_t n) noexcept {
        if (open) open = WriteAll(handle, p, n);
    }
};

// Receives frames until the exit code; writes each stream to its handle.
int RelayOutput(SOCKET sock) {
    Sink out{GetStdHandle(STD_OUTPUT_HANDLE), true};
    Sink err{GetStdHandle(STD_ERROR_HANDLE), true};
    out.open = out.handle && out.handle != INVALID_HANDLE_VALUE;
    err.open = err.handle && err.handle != INVALID_HANDLE_VALUE;

    // Big enough for several whole frames, so one recv usually brings many.
    std::vector<unsigned char> buffer(4 * (HeaderSize + MaxPayload));
    size_t start = 0, end = 0;
    for (;;) {
        // Handle every whole frame in the buffer.
        while (end - start >= HeaderSize) {
            const relay::FrameHeader h = relay::DecodeHeader(buffer.data() + start);
            if (h.length > MaxPayload) return Fail("the Linux relay sent a malformed frame");
            if (end - start < HeaderSize + h.length) break;
            const unsigned char* payload = buffer.data() + start + HeaderSize;
            switch (h.type) {
            case FrameType::Stdout: out.Write(payload, h.length); break;
            case FrameType::Stderr: err.Write(payload, h.length); break;
            case FrameType::Exit:
                if (h.length != 4) return Fail("the Linux relay sent a malformed exit code");
                return static_cast<int>(relay::GetUint32(payload));
            default: return Fail("the Linux relay sent an unexpected frame");
            }
            start += HeaderSize + h.length;
        }
        if (start == end) {
            start = end = 0;
        } else if (buffer.size() - end < HeaderSize + MaxPayload) {
            std::memmove(buffer.data(), buffer.data() + start, end - start);
            end -= start;
            start = 0;
        }
        const int r = recv(sock, reinterpret_cast<char*>(buffer.data() + end), static_cast<int>(buffer.size() - end), 0);
        if (r <= 0) {
            return Fail("the connection to the Linux relay was lost before the command ended" +
                        (r < 0 ? " (error " + std::to_string(WSAGetLastError()) + ")" : std::string()));
        }
        end += static_cast<size_t>(r);
    }
}

int Run() {
    if (!Environment(L"WSL_STANDIN_NO_DISTRIBUTION").empty()) return NoDistribution();
    // A cold start of the WSL 2 machine: seconds of nothing, input unread.
    if (const DWORD delay = Milliseconds(L"WSL_STANDIN_START_DELAY_MS", 0)) Sleep(delay);

    const std::string command = ToUtf8(CommandTail(GetCommandLineW()));
    if (command.size() > MaxPayload) return Fail("the command line is too long");

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return Fail("cannot start Windows sockets");

    UniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!listener) return Fail("cannot make a socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int length = sizeof address;
    if (bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener.get(), 4) != 0 ||
        getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return Fail("cannot listen on the loopback interface");
    }

    std::string token;
    if (!MakeToken(token)) return Fail("cannot make a random token");

    RelayLaunch launch = StartRelay(RelayPath(), ntohs(address.sin_port), token);
    if (!launch.error.empty()) return Fail(launch.error);

    std::string error;
    const DWORD waitMs = Milliseconds(L"WSL_STANDIN_WAIT_MS", DefaultRelayWaitMs);
    UniqueSocket sock = AcceptRelay(listener.get(), token, launch.process.get(), waitMs, error);
    if (!sock) return Fail(error);
    listener.reset();
    launch.process.reset();

    const BOOL noDelay = TRUE;
    setsockopt(sock.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    if (!SendFrame(sock.get(), FrameType::Command, command.data(), command.size())) {
        return Fail("the connection to the Linux relay was lost");
    }

    // The pump is never joined: it may sit in a read of a standard input that
    // never ends, and the process ends with the command regardless.
    static StdinPump pump;
    pump = StdinPump{sock.get(), GetStdHandle(STD_INPUT_HANDLE)};
    UniqueHandle thread(CreateThread(nullptr, 0, PumpStdin, &pump, 0, nullptr));
    if (!thread) return Fail("cannot start the input thread");

    return RelayOutput(sock.get());
}

}  // namespace

int main() {
    const int code = Run();
    // Leave at once: the input pump may be blocked in ReadFile, and nothing
    // needs tearing down that ExitProcess does not do.
    ExitProcess(static_cast<UINT>(code));
}
