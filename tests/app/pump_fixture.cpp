#include "pump_fixture.h"

#include <cstdio>

namespace apptest {
namespace {

toolkit::CriticalSection& BeepLock() {
    static toolkit::CriticalSection lock;
    return lock;
}
std::vector<BeepRecord>& Beeps() {
    static std::vector<BeepRecord> beeps;
    return beeps;
}

std::atomic<HWND> g_watched{nullptr};

}  // namespace

void WatchLengthAtBeeps(HWND window) { g_watched.store(window); }

BOOL WINAPI RecordBeep(DWORD frequency, DWORD duration) {
    // Asked before taking the lock: the main thread answers it.
    const HWND watched = g_watched.load();
    const int length = watched ? GetWindowTextLengthW(watched) : -1;
    toolkit::Guard guard(BeepLock());
    Beeps().push_back({GetCurrentThreadId(), frequency, duration, length});
    return TRUE;
}

std::vector<BeepRecord> TakeBeeps() {
    toolkit::Guard guard(BeepLock());
    return Beeps();
}

void ClearBeeps() {
    toolkit::Guard guard(BeepLock());
    Beeps().clear();
}

std::wstring Hex(const std::string& bytes) {
    std::wstring out;
    wchar_t two[3];
    for (unsigned char b : bytes) {
        swprintf(two, 3, L"%02X", b);
        out += two;
    }
    return out;
}

std::wstring BesideTest(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + name;
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount64() >= deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

std::wstring WindowText(HWND window) {
    const int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), n + 1)));
    return text;
}

size_t Count(const std::wstring& text, const std::wstring& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::wstring::npos; at = text.find(piece, at + piece.size())) ++n;
    return n;
}

void PumpTest::SetUp() {
    ClearBeeps();
    app::SetBeepFunction(&RecordBeep);
    parent_ = CreateWindowExW(0, L"STATIC", L"pumps", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                              nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent_);
    edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", 0x500308C4, 0, 0, 600, 400, parent_, nullptr, nullptr,
                            nullptr);
    ASSERT_TRUE(edit_);
    app::PrepareTranscript(edit_);
    ASSERT_TRUE(feed_.Attach(edit_));
}

void PumpTest::StartShell(const std::wstring& steps, app::TranscriptFeed* feed) {
    const uintptr_t launched =
        channel::StartChildProcess(BesideTest(L"pump_child.exe").c_str(), steps.c_str(), L"", 0x13E);
    pumps_.child = channel::AsChild(launched);
    ASSERT_NE(pumps_.child, nullptr);
    running_.store(1);
    pumps_.shellRunning = &running_;
    pumps_.feed = feed ? feed : &feed_;
    outputThread_ = CreateThread(nullptr, 0, &app::OutputPump, &pumps_, 0, &outputThreadId_);
    errorThread_ = CreateThread(nullptr, 0, &app::ErrorPump, &pumps_, 0, &errorThreadId_);
    ASSERT_TRUE(outputThread_ && errorThread_);
}

bool PumpTest::WaitForEnd(DWORD ms) {
    return PumpUntil([this] { return Transcript().ends_with(L"---program closed---"); }, ms);
}

void PumpTest::TearDown() {
    pumps_.stop.store(true);
    HANDLE threads[] = {outputThread_, errorThread_};
    for (HANDLE t : threads) {
        if (!t) continue;
        // The pump may be waiting for its text to be shown: keep dispatching.
        EXPECT_TRUE(PumpUntil([t] { return WaitForSingleObject(t, 0) == WAIT_OBJECT_0; }, 10000));
        CloseHandle(t);
    }
    feed_.Close();
    spareFeed_.Close();
    WatchLengthAtBeeps(nullptr);
    if (parent_) DestroyWindow(parent_);
    app::SetBeepFunction(nullptr);
}

}  // namespace apptest
