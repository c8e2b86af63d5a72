#include "app/transcript_view.h"

#include "pump_fixture.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace apptest {
namespace {

// A transcript control as the console makes it, in an active top-level window.
class TranscriptView : public testing::Test {
protected:
    void SetUp() override {
        parent_ = CreateWindowExW(0, L"STATIC", L"view", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_TRUE(parent_);
        edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", 0x500308C4, 0, 0, 400, 300, parent_, nullptr,
                                nullptr, nullptr);
        ASSERT_TRUE(edit_);
        app::PrepareTranscript(edit_);
        SetForegroundWindow(parent_);
        PumpUntil([] { return false; }, 50);
    }
    void TearDown() override { DestroyWindow(parent_); }

    static std::wstring Lines(int from, int to) {
        std::wstring text;
        for (int i = from; i <= to; ++i) text += L"\r\nline " + std::to_wstring(i);
        return text;
    }
    [[nodiscard]] LRESULT FirstVisibleLine() const { return SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0); }
    [[nodiscard]] bool LastCharacterVisible() const {
        const int length = GetWindowTextLengthW(edit_);
        const LRESULT pos = SendMessageW(edit_, EM_POSFROMCHAR, static_cast<WPARAM>(length - 1), 0);
        RECT client;
        GetClientRect(edit_, &client);
        const int y = static_cast<short>(HIWORD(pos));
        return pos != -1 && y >= 0 && y < client.bottom;
    }

    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
};

TEST_F(TranscriptView, AppendedTextIsKeptWholeFarBeyondTheVisibleLines) {
    std::wstring expected;
    for (int batch = 0; batch < 10; ++batch) {
        const std::wstring piece = Lines(batch * 1000 + 1, batch * 1000 + 1000);
        app::AppendToTranscript(edit_, piece);
        expected += piece;
    }
    EXPECT_GT(expected.size(), 100000u);  // past the control's default limit
    EXPECT_TRUE(WindowText(edit_) == expected) << WindowText(edit_).size() << " of " << expected.size();
}

TEST_F(TranscriptView, NewestOutputStaysInView) {
    for (int i = 0; i < 5; ++i) app::AppendToTranscript(edit_, Lines(i * 100 + 1, i * 100 + 100));
    EXPECT_GT(FirstVisibleLine(), 0);
    EXPECT_TRUE(LastCharacterVisible());
    DWORD start = 0, end = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(static_cast<int>(end), GetWindowTextLengthW(edit_));
}

TEST_F(TranscriptView, FocusedCaretAtTheEndFollowsTheOutput) {
    app::AppendToTranscript(edit_, Lines(1, 200));
    SetFocus(edit_);
    ASSERT_EQ(GetFocus(), edit_);
    const int length = GetWindowTextLengthW(edit_);
    SendMessageW(edit_, EM_SETSEL, length, length);
    app::AppendToTranscript(edit_, Lines(201, 400));
    EXPECT_TRUE(LastCharacterVisible());
}

TEST_F(TranscriptView, ReaderKeepsSelectionAndScrollPosition) {
    app::AppendToTranscript(edit_, Lines(1, 300));
    SetFocus(edit_);
    ASSERT_EQ(GetFocus(), edit_);
    // The user scrolls back to the top and selects a few characters there.
    SendMessageW(edit_, EM_SETSEL, 10, 20);
    SendMessageW(edit_, EM_LINESCROLL, 0, -100000);
    SendMessageW(edit_, EM_LINESCROLL, 0, 5);
    const LRESULT first = FirstVisibleLine();
    ASSERT_EQ(first, 5);

    app::AppendToTranscript(edit_, Lines(301, 600));

    DWORD start = 0, end = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 10u);
    EXPECT_EQ(end, 20u);
    EXPECT_EQ(FirstVisibleLine(), first);
    EXPECT_TRUE(WindowText(edit_).ends_with(L"line 600"));
}

TEST_F(TranscriptView, SelectionAtTheEndOfAnUnfocusedTranscriptIsNoReader) {
    app::AppendToTranscript(edit_, Lines(1, 300));
    SendMessageW(edit_, EM_SETSEL, 0, 5);  // not focused: the view still follows
    app::AppendToTranscript(edit_, Lines(301, 600));
    EXPECT_TRUE(LastCharacterVisible());
}

}  // namespace
}  // namespace apptest
