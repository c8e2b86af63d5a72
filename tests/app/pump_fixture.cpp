#include "pump_fixture.h"

#include "app/clock.h"

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
std::atomic<double> g_toneFactor{1};
std::atomic<bool> g_fails{false};
std::atomic<DWORD> g_heldFrequency{0};
std::function<bool()> g_release;  // set while no beep plays

BOOL WINAPI RecordBeep(DWORD frequency, DWORD duration) {
    const double start = app::NowMs();
    // Asked before taking the lock: the main thread answers it.
    const HWND watched = g_watched.load();
    const int length = watched ? GetWindowTextLengthW(watched) : -1;
    {
        toolkit::Guard guard(BeepLock());
        Beeps().push_back({GetCurrentThreadId(), frequency, duration, length, start});
    }
    if (g_heldFrequency.load() == frequency) (void)support::WaitUntil(g_release, 5000);
    if (g_fails.load()) return FALSE;
    // Windows' Beep returns when its tone has ended.
    const double until = start + g_toneFactor.load() * duration;
    for (double now = app::NowMs(); now < until; now = app::NowMs()) Sleep(static_cast<DWORD>(until - now) + 1);
    return TRUE;
}

bool NoFlashes() noexcept { return false; }

}  // namespace

void WatchLengthAtBeeps(HWND window) { g_watched.store(window); }

void ModelBeeps(double toneFactor, bool fails) {
    g_toneFactor.store(toneFactor);
    g_fails.store(fails);
}

void HoldBeepsOf(DWORD frequency, std::function<bool()> release) {
    g_heldFrequency.store(0);
    g_release = std::move(release);
    g_heldFrequency.store(g_release ? frequency : 0);
}

std::vector<BeepRecord> TakeBeeps() {
    toolkit::Guard guard(BeepLock());
    return Beeps();
}

std::wstring WindowText(HWND window) {
    const int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), n + 1)));
    return text;
}

bool MakeTranscript(HWND& parent, HWND& edit) {
    parent = CreateWindowExW(0, L"STATIC", L"transcript", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                             nullptr, nullptr, nullptr);
    edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", 0x500308C4, 0, 0, 400, 300, parent, nullptr, nullptr,
                           nullptr);
    if (!parent || !edit) return false;
    app::PrepareTranscript(edit);
    return true;
}

bool Activate(HWND window) {
    SetForegroundWindow(window);
    return PumpUntil([&] { return GetForegroundWindow() == window && GetActiveWindow() == window; }, 5000);
}

int FirstCharacterX(HWND edit) { return static_cast<short>(LOWORD(SendMessageW(edit, EM_POSFROMCHAR, 0, 0))); }

bool LastCharacterVisible(HWND edit) {
    const int length = GetWindowTextLengthW(edit);
    const LRESULT pos = SendMessageW(edit, EM_POSFROMCHAR, static_cast<WPARAM>(length - 1), 0);
    RECT client{};
    GetClientRect(edit, &client);
    const int y = static_cast<short>(HIWORD(pos));
    return pos != -1 && y >= 0 && y < client.bottom;
}

support::MessageRecorder RecordPaints(HWND edit, std::vector<int>& lengths) {
    return support::MessageRecorder(edit, nullptr, [edit, &lengths](UINT message, WPARAM, LPARAM) {
        if (message == WM_PAINT) lengths.push_back(GetWindowTextLengthW(edit));
        return std::optional<LRESULT>();
    });
}

void HoldPaints(app::TranscriptFeed& feed, size_t chars) {
    app::TranscriptPace::Settings pace;
    pace.minPartChars = 1;
    pace.maxPartChars = chars;
    pace.paintShare = 1e-6;
    feed.ConfigurePace(pace);
}

Gate::Gate() { EXPECT_TRUE(event_.Made()) << "cannot make the event " << support::Utf8(event_.Name()); }

void PumpTest::SetUp() {
    Beeps().clear();  // no pump runs between tests
    ModelBeeps(1);
    app::SetBeepFunction(&RecordBeep);
    ASSERT_TRUE(beeper_.Start(&NoFlashes));
    ASSERT_TRUE(MakeTranscript(parent_, edit_));
    ASSERT_TRUE(feed_.Attach(edit_));
}

void PumpTest::StartShell(const std::wstring& steps, app::TranscriptFeed* feed) {
    const uintptr_t launched =
        channel::StartChildProcess(support::BesideTest(L"stream_helper.exe").c_str(), steps.c_str(), L"", 0x13E);
    pumps_.child = channel::AsChild(launched);
    ASSERT_NE(pumps_.child, nullptr);
    running_.store(1);
    pumps_.feed = feed ? feed : &feed_;
    StartPumps();
}

void PumpTest::StartPumps() {
    pumps_.shellRunning = &running_;
    if (!pumps_.feed) pumps_.feed = &feed_;
    pumps_.beeper = &beeper_;
    outputThread_ = CreateThread(nullptr, 0, &app::OutputPump, &pumps_, 0, nullptr);
    errorThread_ = CreateThread(nullptr, 0, &app::ErrorPump, &pumps_, 0, nullptr);
    ASSERT_TRUE(outputThread_ && errorThread_);
}

bool PumpTest::WaitForEnd(DWORD ms) {
    return PumpUntil([this] { return Transcript().ends_with(L"---program closed---"); }, ms);
}

testing::AssertionResult PumpTest::OpenWhenShown(const Gate& gate, const std::wstring& text) {
    if (!PumpUntil([&] { return Transcript() == text; }))
        return testing::AssertionFailure() << "the transcript reads \"" << support::Utf8(Transcript())
                                           << "\", not \"" << support::Utf8(text) << "\"";
    gate.Open();
    return testing::AssertionSuccess();
}

bool PumpTest::NothingPending() const {
    return channel::PeekChildStream(pumps_.child, channel::ChildStream::Output).pending == 0 &&
           channel::PeekChildStream(pumps_.child, channel::ChildStream::Error).pending == 0;
}

void PumpTest::StopPumps() {
    pumps_.stop.store(true);
    for (HANDLE* thread : {&outputThread_, &errorThread_}) {
        const HANDLE t = *thread;
        if (!t) continue;
        // The pump may be waiting for its text to be shown: keep dispatching.
        EXPECT_TRUE(PumpUntil([t] { return WaitForSingleObject(t, 0) == WAIT_OBJECT_0; }));
        CloseHandle(t);
        *thread = nullptr;
    }
}

void PumpTest::TearDown() {
    // A child left waiting at a gate by a failed test ends with it.
    if (pumps_.child && WaitForSingleObject(pumps_.child->processHandle, 0) == WAIT_TIMEOUT)
        TerminateProcess(pumps_.child->processHandle, 1);
    StopPumps();
    beeper_.Stop();
    HoldBeepsOf(0, nullptr);
    feed_.Close();
    spareFeed_.Close();
    WatchLengthAtBeeps(nullptr);
    if (parent_) DestroyWindow(parent_);
    app::SetBeepFunction(nullptr);
}

}  // namespace apptest
