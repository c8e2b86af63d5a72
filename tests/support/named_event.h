#pragma once
// A manual-reset event with a name no other test shares, through which a
// test and a helper program it started take turns.

#include <windows.h>

#include <string>

namespace support {

class NamedEvent {
public:
    NamedEvent();
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    [[nodiscard]] const std::wstring& Name() const { return name_; }
    [[nodiscard]] bool Made() const { return event_ != nullptr; }
    void Set() const;
    [[nodiscard]] bool IsSet() const;

private:
    std::wstring name_;
    HANDLE event_ = nullptr;
};

}  // namespace support
