// A relay that misbehaves on purpose, started by wsl.exe in place of
// wsl-relay (WSL_STANDIN_RELAY) so the tests can see how wsl.exe treats peers
// that do not prove the token. FAKE_RELAY_MODE picks the behaviour:
//   wrong-then-right  present a wrong token, note whether wsl.exe closed that
//                     connection without a word, then connect again with the
//                     right token and report it (and the command) as output
//   wrong-then-silent present a wrong token, then connect again and say
//                     nothing until wsl.exe closes that connection too
//   exit              end at once without connecting
//   drop              prove the token, send one line, and hang up without an
//                     exit code

#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/relay_protocol.h"

namespace {

using relay::FrameType;
using relay::HeaderSize;

std::string Variable(const char* name) {
    char buffer[256];
    const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

SOCKET Connect(unsigned port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

bool SendFrame(SOCKET s, FrameType type, const std::string& payload) {
    std::string frame(HeaderSize, '\0');
    relay::EncodeHeader(reinterpret_cast<unsigned char*>(frame.data()), type, static_cast<uint32_t>(payload.size()));
    frame += payload;
    return send(s, frame.data(), static_cast<int>(frame.size()), 0) == static_cast<int>(frame.size());
}

// Waits up to timeoutMs for the peer to close; true if it closed having sent
// nothing at all.
bool ClosedWithoutAWord(SOCKET s, DWORD timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    if (select(0, &set, nullptr, nullptr, &tv) <= 0) return false;
    char c;
    return recv(s, &c, 1, 0) <= 0;
}

// Reads and drops whatever comes until the peer closes (or the time is up).
// Closing with unread input would reset the connection and could destroy
// frames the peer has not read yet.
void DrainUntilClosed(SOCKET s, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    char buffer[4096];
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return;
        const DWORD left = static_cast<DWORD>(deadline - now);
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval tv{static_cast<long>(left / 1000), static_cast<long>(left % 1000) * 1000};
        if (select(0, &set, nullptr, nullptr, &tv) <= 0) return;
        if (recv(s, buffer, sizeof buffer, 0) <= 0) return;
    }
}

std::string ReadCommand(SOCKET s) {
    unsigned char header[HeaderSize];
    int got = 0;
    while (got < static_cast<int>(HeaderSize)) {
        const int r = recv(s, reinterpret_cast<char*>(header) + got, static_cast<int>(HeaderSize) - got, 0);
        if (r <= 0) return "(none)";
        got += r;
    }
    const relay::FrameHeader h = relay::DecodeHeader(header);
    if (h.type != FrameType::Command) return "(not a command)";
    std::string command(h.length, '\0');
    got = 0;
    while (got < static_cast<int>(h.length)) {
        const int r = recv(s, command.data() + got, static_cast<int>(h.length) - got, 0);
        if (r <= 0) return "(cut short)";
        got += r;
    }
    return command;
}

std::string WrongToken(std::string token) {
    token[0] = token[0] == '0' ? '1' : '0';
    return token;
}

}  // namespace

int main() {
    const std::string mode = Variable("FAKE_RELAY_MODE");
    const std::string token = Variable(relay::TokenVariable);
    const unsigned port = static_cast<unsigned>(strtoul(Variable(relay::PortVariable).c_str(), nullptr, 10));
    if (mode == "exit" || token.size() != relay::TokenLength || port == 0) return 0;

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;

    if (mode == "drop") {
        SOCKET s = Connect(port);
        SendFrame(s, FrameType::Hello, token);
        ReadCommand(s);
        SendFrame(s, FrameType::Stdout, "partial\n");
        shutdown(s, SD_SEND);
        DrainUntilClosed(s, 10000);
        closesocket(s);
        return 0;
    }

    SOCKET first = Connect(port);
    if (first == INVALID_SOCKET) return 1;
    SendFrame(first, FrameType::Hello, WrongToken(token));
    const bool refused = ClosedWithoutAWord(first, 10000);
    closesocket(first);

    SOCKET second = Connect(port);
    if (second == INVALID_SOCKET) return 1;
    if (mode == "wrong-then-silent") {
        ClosedWithoutAWord(second, 30000);
        closesocket(second);
        return 0;
    }
    SendFrame(second, FrameType::Hello, token);
    const std::string command = ReadCommand(second);
    SendFrame(second, FrameType::Stdout, std::string("first peer: ") + (refused ? "refused" : "answered") + "\n");
    SendFrame(second, FrameType::Stdout, "command: " + command + "\n");
    unsigned char code[4];
    relay::PutUint32(code, 0);
    SendFrame(second, FrameType::Exit, std::string(reinterpret_cast<char*>(code), 4));
    shutdown(second, SD_SEND);
    DrainUntilClosed(second, 10000);
    closesocket(second);
    return 0;
}
