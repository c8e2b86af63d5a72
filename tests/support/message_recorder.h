#pragma once
// Records the messages a window receives, by subclassing it for as long as
// the recorder lives; every message still reaches the window's procedure.

#include <windows.h>

#include <cstddef>
#include <vector>

namespace support {

class MessageRecorder {
public:
    explicit MessageRecorder(HWND window);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Message> messages;

    [[nodiscard]] size_t Count(UINT message) const;
    [[nodiscard]] size_t Count(UINT message, WPARAM wParam) const;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_;
    WNDPROC previous_ = nullptr;
};

}  // namespace support
