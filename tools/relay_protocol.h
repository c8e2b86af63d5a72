#pragma once
// The wire between wsl.exe (Windows) and wsl-relay (Linux): one loopback TCP
// connection carrying frames of an 8-byte header (type, payload length, both
// 32-bit little-endian) and the payload. Compiled by both sides, so it uses
// nothing but the standard library.
//
// The conversation:
//   relay -> wsl.exe  Hello    the one-time token wsl.exe put in the relay's environment
//   wsl.exe -> relay  Command  the command line to run, UTF-8
//   wsl.exe -> relay  Stdin*   bytes for the command's standard input
//   wsl.exe -> relay  StdinEnd wsl.exe's own standard input has ended
//   relay -> wsl.exe  Stdout*, Stderr*  the command's output, each stream in order
//   relay -> wsl.exe  Exit     the command's exit code (int32), always the last frame
// wsl.exe sends nothing until the token has been checked, so a peer that
// cannot prove it is the relay it started learns nothing and feeds it nothing.

#include <cstddef>
#include <cstdint>

namespace relay {

enum class FrameType : uint32_t {
    Hello = 1,
    Command = 2,
    Stdin = 3,
    StdinEnd = 4,
    Stdout = 5,
    Stderr = 6,
    Exit = 7,
};

inline constexpr size_t HeaderSize = 8;
// Each side reads and writes the streams in pieces of this size, so a
// payload is never larger; a longer one means the peer is not ours.
inline constexpr uint32_t MaxPayload = 64 * 1024;

// The token is 16 random bytes written as 32 lowercase hex digits.
inline constexpr size_t TokenLength = 32;

// Environment variables wsl.exe sets for the relay it starts. The token goes
// only through the environment: a command line is visible to every process.
inline constexpr char PortVariable[] = "WSL_STANDIN_PORT";
inline constexpr char TokenVariable[] = "WSL_STANDIN_TOKEN";

// The exit code the relay reports for a command killed by a signal, as
// shells do: 128 + the signal number.
inline constexpr int SignalExitBase = 128;

struct FrameHeader {
    FrameType type;
    uint32_t length;
};

inline void PutUint32(unsigned char* p, uint32_t v) noexcept {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

inline uint32_t GetUint32(const unsigned char* p) noexcept {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void EncodeHeader(unsigned char* out, FrameType type, uint32_t length) noexcept {
    PutUint32(out, static_cast<uint32_t>(type));
    PutUint32(out + 4, length);
}

inline FrameHeader DecodeHeader(const unsigned char* in) noexcept {
    return FrameHeader{static_cast<FrameType>(GetUint32(in)), GetUint32(in + 4)};
}

// Compares the presented token with the expected one without stopping at the
// first difference, so the time taken tells a guessing peer nothing.
inline bool TokenMatches(const unsigned char* presented, size_t length, const char* expected) noexcept {
    if (length != TokenLength) return false;
    unsigned diff = 0;
    for (size_t i = 0; i < TokenLength; ++i) diff |= presented[i] ^ static_cast<unsigned char>(expected[i]);
    return diff == 0;
}

}  // namespace relay
