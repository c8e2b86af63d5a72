#pragma once
// Records the messages windows receive, by subclassing each for as long as
// its recorder lives; every message still reaches the window's procedure.
// Several recorders may write one log, so that the order of messages across
// windows can be compared with an expected sequence.

#include <windows.h>

#include <cstddef>
#include <initializer_list>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace support {

struct RecordedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
using MessageLog = std::vector<RecordedMessage>;

class MessageRecorder {
public:
    // Records into `into` when given, else into `messages`. A message that
    // `answer` answers goes no further.
    using Answer = std::function<std::optional<LRESULT>(UINT message, WPARAM wParam, LPARAM lParam)>;
    explicit MessageRecorder(HWND window, MessageLog* into = nullptr, Answer answer = {});
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    MessageLog messages;

    [[nodiscard]] size_t Count(UINT message) const;
    [[nodiscard]] size_t Count(UINT message, WPARAM wParam) const;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
    MessageLog* log_;
    Answer answer_;
    WNDPROC previous_ = nullptr;
};

// One step of an expected sequence; lParam is compared only when given.
struct ExpectedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    std::optional<LPARAM> lParam{};
};

// Compares the logged messages of the `watched` kinds, in order, with
// `expected`: empty when they match, else both sequences, for the failure
// message.
[[nodiscard]] std::string SequenceMismatch(const MessageLog& log, const std::vector<ExpectedMessage>& expected,
                                           std::initializer_list<UINT> watched);

}  // namespace support
