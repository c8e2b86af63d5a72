// The console's output at scale, on the WSL stand-in with real bash, against
// the floor: a bare edit control of the transcript's style that takes the
// same text in one replace, measured in the same run. For each burst it
// prints the time from Return until the last line is shown, the floor (the
// replace, the paint that follows it, and one more paint of the full
// control), the console's peak working set and the slowest answer of its
// window to a message during the burst; then the latency from Return to the
// answer's line with many lines shown, beside its floor: one line appended
// to a bare control holding as many lines. Each burst runs a second time on
// the console built with Windows' Beep, which blocks for its tone (Wine's
// returns at once): its time beside the first, how many line beeps sounded
// and how long they went on after the last line was shown. Prints figures,
// asserts nothing; it fails only when a burst does not arrive whole
// (scripts/bench).
//
// console_bench.exe [--runs N] [--stdout N,N] [--stderr N,N] [--file UNIXPATH] [--latency N,N]

#include "tests/e2e/bench_beep_log.h"
#include "tests/e2e/console_driver.h"

#include "support/files.h"

#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace e2e;

namespace {

constexpr DWORD BurstTimeoutMs = 900000;
constexpr DWORD TranscriptStyle = 0x500308C4;  // the console's transcript: read-only, multi-line, scrolling

double Now() {
    LARGE_INTEGER c, f;
    QueryPerformanceCounter(&c);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<int> Numbers(const std::wstring& list) {
    std::vector<int> out;
    size_t at = 0;
    while (at < list.size()) {
        size_t comma = list.find(L',', at);
        if (comma == std::wstring::npos) comma = list.size();
        if (comma > at) out.push_back(_wtoi(list.substr(at, comma - at).c_str()));
        at = comma + 1;
    }
    return out;
}

struct Burst {
    std::wstring label;
    std::wstring command;
    std::wstring shown;  // what the transcript gains, as the floor takes it
    std::wstring lastPiece;
    bool stderrBurst = false;
};

Burst SeqBurst(int lines, bool toStderr) {
    Burst b;
    b.stderrBurst = toStderr;
    b.label = std::wstring(toStderr ? L"stderr" : L"stdout") + L" seq " + std::to_wstring(lines);
    b.command = L"seq 1 " + std::to_wstring(lines) + (toStderr ? L" >&2" : L"");
    for (int i = 1; i <= lines; ++i) b.shown += L"\r\n" + std::to_wstring(i) + (toStderr ? L"" : L"\n");
    b.lastPiece = L"\r\n" + std::to_wstring(lines) + (toStderr ? L"" : L"\n");
    return b;
}

// Lines that come slowly: each should have its own beep.
Burst SlowBurst(int lines) {
    Burst b;
    b.label = L"stdout " + std::to_wstring(lines) + L" lines 50 ms apart";
    b.command = L"for i in $(seq 1 " + std::to_wstring(lines) + L"); do echo $i; sleep 0.05; done";
    for (int i = 1; i <= lines; ++i) b.shown += L"\r\n" + std::to_wstring(i) + L"\n";
    b.lastPiece = L"\r\n" + std::to_wstring(lines) + L"\n";
    return b;
}

Burst FileBurst(const std::string& unixPath) {
    Burst b;
    b.label = L"stdout cat 10 MB";
    b.command = L"cat " + Wide(unixPath);
    const std::string bytes = support::ReadFileBytes(WindowsPathOfUnixPath(unixPath));
    size_t at = 0;
    while (at < bytes.size()) {
        const size_t end = bytes.find('\n', at);
        if (end == std::string::npos) break;
        b.lastPiece = L"\r\n" + Wide(std::string_view(bytes).substr(at, end - at + 1));
        b.shown += b.lastPiece;
        at = end + 1;
    }
    b.label += L" (" + std::to_wstring(bytes.size()) + L" bytes)";
    return b;
}

HFONT MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        if (HFONT f = CreateFontIndirectW(&metrics.lfMessageFont)) return f;
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// A fresh edit control like the transcript, in a window of the console's size.
class BareTranscript {
public:
    explicit BareTranscript(const ControlBox& box) {
        top_ = CreateWindowExW(0, L"STATIC", L"floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 1600, 900, nullptr,
                               nullptr, nullptr, nullptr);
        edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", TranscriptStyle, box.x, box.y, box.width, box.height,
                                top_, nullptr, nullptr, nullptr);
        static HFONT font = MessageFont();
        SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SendMessageW(edit_, EM_SETLIMITTEXT, 0, 0);
        support::DispatchMessages(0);
    }
    BareTranscript(const BareTranscript&) = delete;
    BareTranscript& operator=(const BareTranscript&) = delete;
    ~BareTranscript() {
        DestroyWindow(top_);
        support::DispatchMessages(0);
    }
    [[nodiscard]] HWND Edit() const { return edit_; }
    // Seconds one replace of `text` at the end takes.
    double Append(const std::wstring& text) const {
        const double start = Now();
        SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
        return Now() - start;
    }
    // Seconds the control takes to paint what is invalid; with `all`, all of it.
    double Paint(bool all) const {
        if (all) InvalidateRect(edit_, nullptr, TRUE);
        const double start = Now();
        UpdateWindow(edit_);
        return Now() - start;
    }

private:
    HWND top_ = nullptr;
    HWND edit_ = nullptr;
};

struct FloorRun {
    double insert = 0;   // the whole text in one replace
    double paint = 0;    // the paint that replace asks for
    double repaint = 0;  // one more paint of the whole control
};

FloorRun Floor(const std::wstring& text, const ControlBox& box) {
    BareTranscript bare(box);
    FloorRun run;
    run.insert = bare.Append(text);
    run.paint = bare.Paint(false);
    run.repaint = bare.Paint(true);
    const int got = GetWindowTextLengthW(bare.Edit());
    if (static_cast<size_t>(got) != text.size()) std::printf("  floor: the control took %d of %zu characters\n", got, text.size());
    return run;
}

struct ConsoleRun {
    bool ok = false;
    double seconds = 0;
    double peakMb = 0;
    double slowestAnswerMs = 0;
    // With Windows' Beep: the line beeps of the burst's stream, and how long
    // beeps went on after its last line was shown.
    long long lineBeeps = -1;
    double beepTailMs = 0;
};

// The beep log of the console built with Windows' Beep.
class BeepLogView {
public:
    explicit BeepLogView(DWORD processId) {
        mapping_ = OpenFileMappingW(FILE_MAP_READ, FALSE, BenchBeepLogName(processId).c_str());
        if (mapping_) log_ = static_cast<const BenchBeepLog*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, sizeof(BenchBeepLog)));
    }
    BeepLogView(const BeepLogView&) = delete;
    BeepLogView& operator=(const BeepLogView&) = delete;
    ~BeepLogView() {
        if (log_) UnmapViewOfFile(log_);
        if (mapping_) CloseHandle(mapping_);
    }
    [[nodiscard]] bool Open() const { return log_ != nullptr; }
    [[nodiscard]] long long Count(DWORD frequency) const { return log_->count[BenchToneIndex(frequency)]; }
    [[nodiscard]] long long All() const {
        long long n = 0;
        for (DWORD tone : BenchTones) n += Count(tone);
        return n;
    }
    [[nodiscard]] LONG64 LastEnd() const { return log_->lastEnd; }
    // Waits until no beep has ended for half a second (at most five minutes).
    void WaitQuiet() const {
        const ULONGLONG deadline = GetTickCount64() + 300000;
        long long seen = -1;
        while (GetTickCount64() < deadline && All() != seen) {
            seen = All();
            Sleep(500);
        }
    }

private:
    HANDLE mapping_ = nullptr;
    const BenchBeepLog* log_ = nullptr;
};

// WSLC_WINDOWS_BEEP_EXE in the environment measures another build's.
std::wstring WindowsBeepConsolePath() {
    wchar_t other[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableW(L"WSLC_WINDOWS_BEEP_EXE", other, MAX_PATH * 2);
    const std::string path = n > 0 && n < MAX_PATH * 2 ? Utf8(std::wstring(other, n)) : WSLC_WINDOWS_BEEP_EXE;
    return WindowsPathOfUnixPath(path);
}

bool StartReady(ConsoleSession& console, ControlBox* box, bool windowsBeep = false) {
    LaunchOptions options;
    options.traceBeeps = false;
    if (windowsBeep) options.program = WindowsBeepConsolePath();
    std::wstring failure;
    if (!console.Start(options, &failure)) {
        std::fprintf(stderr, "bench: %s\n", Utf8(failure).c_str());
        return false;
    }
    if (box) *box = console.Box(console.Transcript());
    // bash is up once it has answered a first command.
    if (!console.PasteIntoField(L"echo bench-ready") || !console.PressKey(VK_RETURN)) return false;
    return console.WaitForTranscriptToContain(L"\r\nbench-ready\n", 60000);
}

double PeakWorkingSetMb(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) return -1;
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// Waits until the transcript has gained the burst; probes the window's answer
// time all along. `windowsBeep`: on the console built with Windows' Beep.
ConsoleRun RunBurst(const Burst& burst, ControlBox* box, bool windowsBeep = false) {
    ConsoleRun run;
    ConsoleSession console;
    if (!StartReady(console, box, windowsBeep)) return run;
    std::unique_ptr<BeepLogView> beeps;
    const DWORD tone = burst.stderrBurst ? app::ErrorLineTone.frequency : app::OutputLineTone.frequency;
    long long beepsBefore = 0;
    if (windowsBeep) {
        beeps = std::make_unique<BeepLogView>(GetProcessId(console.Process()));
        if (!beeps->Open()) std::printf("  %ls: no beep log\n", burst.label.c_str());
        else {
            beeps->WaitQuiet();  // the ready line's beeps are not the burst's
            beepsBefore = beeps->Count(tone);
        }
    }
    const size_t before = console.TextLength(console.Transcript());
    const size_t wanted = before + burst.shown.size();

    std::atomic<bool> done{false};
    std::atomic<double> slowest{0};
    std::thread prober([&] {
        while (!done.load()) {
            const double start = Now();
            (void)console.Answers(60000);
            const double ms = (Now() - start) * 1000;
            if (ms > slowest.load()) slowest.store(ms);
            Sleep(20);
        }
    });

    console.PasteIntoField(burst.command);
    console.BringToFront();
    const double start = Now();
    console.PressKey(VK_RETURN);
    double end = 0;
    LONG64 endTicks = 0;
    const bool arrived = support::WaitUntil(
        [&] {
            if (console.TextLength(console.Transcript()) < wanted) return false;
            end = Now();
            endTicks = BenchNow();
            // Figures first: reading the whole text back costs the console
            // time and memory of its own.
            if (!done.exchange(true)) {
                prober.join();
                run.peakMb = PeakWorkingSetMb(console.Process());
            }
            const std::wstring text = console.TranscriptText();
            if (!text.ends_with(burst.lastPiece)) return false;
            // Every line, in order: stdout exactly; stderr after the
            // prompts bash wrote before its first line.
            const std::wstring gained = text.substr(before);
            run.ok = burst.stderrBurst ? gained.size() >= burst.shown.size() &&
                                             gained.ends_with(burst.shown.substr(burst.shown.find(L"\r\n2")))
                                       : gained == burst.shown;
            return true;
        },
        BurstTimeoutMs, 5);
    if (!done.exchange(true)) {
        prober.join();
        run.peakMb = PeakWorkingSetMb(console.Process());
    }
    run.seconds = end - start;
    run.slowestAnswerMs = slowest.load();
    if (beeps && beeps->Open() && arrived) {
        beeps->WaitQuiet();
        run.lineBeeps = beeps->Count(tone) - beepsBefore;
        run.beepTailMs = std::max(0.0, static_cast<double>(beeps->LastEnd() - endTicks) / static_cast<double>(BenchTicksPerMs()));
    }
    if (!arrived) std::printf("  %ls: the last line did not arrive\n", burst.label.c_str());
    else if (!run.ok) std::printf("  %ls: the transcript differs from the output\n", burst.label.c_str());
    console.RequestClose();
    DWORD code = 0;
    console.WaitForExit(30000, &code);
    return run;
}

// Return to the answer's line, with `lines` lines already shown.
std::vector<double> Latency(int lines, int count, ControlBox* box) {
    std::vector<double> ms;
    ConsoleSession console;
    if (!StartReady(console, box)) return ms;
    const Burst fill = SeqBurst(lines, false);
    const size_t filled = console.TextLength(console.Transcript()) + fill.shown.size();
    console.PasteIntoField(fill.command);
    console.PressKey(VK_RETURN);
    if (!WaitUntil([&] { return console.TextLength(console.Transcript()) >= filled; }, BurstTimeoutMs)) return ms;
    console.Settle();
    int lost = 0;
    for (int i = 0; i < count + lost && lost < count; ++i) {
        const std::wstring answer = L"\r\nmark" + std::to_wstring(i) + L"\n";
        const size_t wanted = console.TextLength(console.Transcript()) + answer.size();
        if (!console.PasteIntoField(L"echo mark" + std::to_wstring(i)) || !console.BringToFront()) {
            ++lost;
            continue;
        }
        const double start = Now();
        // A key that never reached the window (the desktop was busy) is a
        // lost probe, not a figure.
        const bool answered =
            console.PressKey(VK_RETURN) &&
            support::WaitUntil([&] { return console.TextLength(console.Transcript()) >= wanted; }, 10000, 1);
        if (answered) ms.push_back((Now() - start) * 1000);
        else ++lost;
        console.Settle();
        (void)WaitUntil([&] { return console.FieldText().empty(); }, 5000);
    }
    if (lost > 0) std::printf("  latency: %d probes lost\n", lost);
    console.RequestClose();
    DWORD code = 0;
    console.WaitForExit(30000, &code);
    return ms;
}

// The floor of the latency: one line appended to a bare control that holds
// `lines` lines, painted between the probes as the console's is. The lines
// go in at once, or (`grown`) in parts of about 150,000 characters, as a
// transcript grows: under Wine a control filled in one replace appends
// faster than one that grew, since its list of lines lies together in memory.
std::vector<double> LatencyFloor(int lines, int count, const ControlBox& box, bool grown) {
    BareTranscript bare(box);
    const std::wstring text = SeqBurst(lines, false).shown;
    constexpr size_t Part = 150000;
    for (size_t at = 0; at < text.size();) {
        size_t end = grown ? text.find(L"\r\n", std::min(text.size(), at + Part)) : std::wstring::npos;
        if (end == std::wstring::npos) end = text.size();
        (void)bare.Append(text.substr(at, end - at));
        at = end;
    }
    (void)bare.Paint(false);
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        ms.push_back(bare.Append(L"\r\nmark" + std::to_wstring(i) + L"\n") * 1000);
        (void)bare.Paint(false);
    }
    return ms;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int runs = 1;
    std::vector<int> stdoutLines = {10000, 100000, 1000000}, stderrLines = {10000, 100000};
    std::vector<int> latencyLines = {1000, 100000, 1000000};
    std::string file;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring name = argv[i], value = argv[i + 1];
        if (name == L"--runs") runs = std::max(1, _wtoi(value.c_str()));
        else if (name == L"--stdout") stdoutLines = Numbers(value);
        else if (name == L"--stderr") stderrLines = Numbers(value);
        else if (name == L"--file") file = Utf8(value);
        else if (name == L"--latency") latencyLines = Numbers(value);
    }

    std::vector<Burst> bursts;
    bursts.push_back(SlowBurst(20));
    for (int n : stdoutLines) bursts.push_back(SeqBurst(n, false));
    if (!file.empty()) bursts.push_back(FileBurst(file));
    for (int n : stderrLines) bursts.push_back(SeqBurst(n, true));

    // floor: the replace alone; paint: the paint after it; repaint: one more
    // paint of the full control. The ratios: console / floor and console /
    // (floor + paint); the slowest answer also as a share of the repaint.
    std::printf("%-36s %9s %9s %9s %6s %7s %9s %8s %9s %6s\n", "burst (fastest of runs)", "console", "floor", "paint",
                "ratio", "ratio+p", "repaint", "peak WS", "slowest", "/rep");
    bool allOk = true;
    std::vector<double> times;
    for (const Burst& burst : bursts) {
        std::vector<double> seconds, inserts, paints, repaints, peaks, answers;
        std::vector<ConsoleRun> windows;
        bool burstOk = true;
        for (int r = 0; r < runs; ++r) {
            ControlBox box{0, 0, 799, 780};
            const ConsoleRun run = RunBurst(burst, &box);
            windows.push_back(RunBurst(burst, nullptr, true));
            burstOk = burstOk && run.ok && windows.back().ok;
            seconds.push_back(run.seconds);
            peaks.push_back(run.peakMb);
            answers.push_back(run.slowestAnswerMs);
            const FloorRun floor = Floor(burst.shown, box);
            inserts.push_back(floor.insert);
            paints.push_back(floor.paint);
            repaints.push_back(floor.repaint);
        }
        allOk = allOk && burstOk;
        // A burst that failed has no figures worth a row of zeros.
        if (!burstOk) {
            std::printf("%-36ls failed (see above)\n", burst.label.c_str());
            times.push_back(-1);
            continue;
        }
        // The fastest run of each: whatever else the machine does only ever
        // slows a run down, the console's and the bare control's alike.
        auto fastest = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
        const double s = fastest(seconds), f = fastest(inserts), p = fastest(paints), rp = fastest(repaints);
        const double slowest = *std::max_element(answers.begin(), answers.end());
        times.push_back(s);
        std::printf("%-36ls %7.2f s %7.2f s %7.2f s %6.2f %7.2f %6.0f ms %5.0f MB %6.0f ms %6.2f\n", burst.label.c_str(), s,
                    f, p, f > 0 ? s / f : 0, f + p > 0 ? s / (f + p) : 0, rp * 1000, Median(peaks), slowest,
                    rp > 0 ? slowest / (rp * 1000) : 0);
        // The same burst with Windows' Beep: its fastest run, and the most
        // beeps and the longest tail of any run.
        const auto w = std::min_element(windows.begin(), windows.end(),
                                        [](const ConsoleRun& a, const ConsoleRun& b) { return a.seconds < b.seconds; });
        long long mostBeeps = 0;
        double longestTail = 0, slowestW = 0;
        for (const ConsoleRun& run : windows) {
            mostBeeps = std::max(mostBeeps, run.lineBeeps);
            longestTail = std::max(longestTail, run.beepTailMs);
            slowestW = std::max(slowestW, run.slowestAnswerMs);
        }
        std::printf("%-36s %7.2f s %9s %9s %6.2f x instant; %lld line beeps, the last %.0f ms after the last line; "
                    "slowest answer %.0f ms\n",
                    "  with Windows' Beep", w->seconds, "", "", s > 0 ? w->seconds / s : 0, mostBeeps, longestTail,
                    slowestW);
        std::fflush(stdout);
    }
    // The ratios the targets speak of, where this run has both figures.
    auto timeOf = [&](const std::wstring& label) -> double {
        for (size_t i = 0; i < bursts.size(); ++i)
            if (bursts[i].label == label) return times[i];
        return -1;
    };
    for (const wchar_t* stream : {L"stdout", L"stderr"}) {
        const double t10 = timeOf(std::wstring(stream) + L" seq 10000"), t100 = timeOf(std::wstring(stream) + L" seq 100000");
        if (t10 > 0 && t100 > 0) std::printf("T(100000) / T(10000) on %ls: %.1f\n", stream, t100 / t10);
    }
    const double out100 = timeOf(L"stdout seq 100000"), err100 = timeOf(L"stderr seq 100000");
    if (out100 > 0 && err100 > 0) std::printf("stderr 100000 / stdout 100000: %.2f\n", err100 / out100);

    constexpr int Probes = 20;
    bool latencyHeader = false;
    for (int lines : latencyLines) {
        if (lines <= 0) continue;
        if (!latencyHeader) {
            std::printf("latency from Return to the answer's line (median of %d; floor: one line appended to a bare "
                        "control holding as many lines, put in at once or grown in parts)\n"
                        "%12s %10s %10s %10s %10s %10s\n",
                        Probes, "lines shown", "console", "min", "max", "floor", "grown");
            latencyHeader = true;
        }
        ControlBox box{0, 0, 799, 780};
        const std::vector<double> ms = Latency(lines, Probes, &box);
        if (ms.empty()) {
            std::printf("%12d the answers did not arrive\n", lines);
            allOk = false;
            continue;
        }
        const std::vector<double> floor = LatencyFloor(lines, Probes, box, false);
        const std::vector<double> grown = LatencyFloor(lines, Probes, box, true);
        std::printf("%12d %7.1f ms %7.1f ms %7.1f ms %7.1f ms %7.1f ms\n", lines, Median(ms),
                    *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()), Median(floor),
                    Median(grown));
        std::fflush(stdout);
    }
    return allOk ? 0 : 1;
}
