#include "tests/tools/standin_launch.h"

#include "support/text.h"
#include "support/waiting.h"

#include <utility>

namespace standin_test {

using toolkit::Guard;
using toolkit::UniqueHandle;

namespace {

// The caller's environment block with the extra entries after it.
std::wstring EnvironmentBlock(const std::vector<std::wstring>& extra) {
    std::wstring block;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* p = strings; *p; p += wcslen(p) + 1) block.append(p, wcslen(p) + 1);
        FreeEnvironmentStringsW(strings);
    }
    for (const auto& entry : extra) block.append(entry.c_str(), entry.size() + 1);
    block.push_back(L'\0');
    return block;
}

// One pipe whose child end is inheritable and whose parent end is not.
bool MakePipe(UniqueHandle& parentEnd, UniqueHandle& childEnd, bool childReads) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!CreatePipe(&read, &write, &sa, 0)) return false;
    parentEnd.reset(childReads ? write : read);
    childEnd.reset(childReads ? read : write);
    return SetHandleInformation(parentEnd.get(), HANDLE_FLAG_INHERIT, 0) != 0;
}

}  // namespace

std::wstring StandInPath() {
    std::wstring relative = WSLC_STANDIN_DIR;  // from the test's directory to the stand-in's
    for (auto& c : relative)
        if (c == L'/') c = L'\\';
    return support::BesideTest(relative + L"\\wsl.exe");
}

bool StartStandIn(const std::wstring& parameters, const LaunchOptions& options, Launched& launched) {
    UniqueHandle childIn, childOut, childErr;
    if ((!options.input && !MakePipe(launched.input, childIn, true)) || !MakePipe(launched.output, childOut, false) ||
        !MakePipe(launched.error, childErr, false)) {
        return false;
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = options.input ? options.input : childIn.get();
    si.hStdOutput = childOut.get();
    si.hStdError = childErr.get();
    std::wstring commandLine = L"\"" + StandInPath() + L"\"";
    if (!parameters.empty()) commandLine += L" " + parameters;
    std::wstring environment;
    DWORD flags = options.creationFlags;
    if (!options.environment.empty()) {
        environment = EnvironmentBlock(options.environment);
        flags |= CREATE_UNICODE_ENVIRONMENT;
    }
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags,
                        environment.empty() ? nullptr : environment.data(),
                        options.directory.empty() ? nullptr : options.directory.c_str(), &si, &pi)) {
        return false;
    }
    CloseHandle(pi.hThread);
    launched.process.reset(pi.hProcess);
    return true;
}

Collector::Collector(HANDLE source) : source_(source), changed_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    thread_.reset(CreateThread(nullptr, 0, Pump, this, 0, nullptr));
}

Collector::~Collector() {
    // The owner closes the source after the process is gone, which ends the
    // read; a thread still running here would outlive its object.
    if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI Collector::Pump(void* param) noexcept {
    auto* self = static_cast<Collector*>(param);
    std::string buffer(64 * 1024, '\0');
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(self->source_, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) break;
        if (got == 0) continue;
        {
            Guard g(self->lock_);
            self->text_.append(buffer.data(), got);
        }
        SetEvent(self->changed_.get());
    }
    SetEvent(self->changed_.get());
    return 0;
}

bool Collector::WaitFor(const std::string& wanted, DWORD timeoutMs) {
    const auto holds = [&] {
        Guard g(lock_);
        return text_.find(wanted) != std::string::npos;
    };
    // A stream that has ended brings nothing more: no use waiting on.
    const auto ended = [&] { return WaitForSingleObject(thread_.get(), 0) == WAIT_OBJECT_0; };
    (void)support::PumpUntil([&] { return holds() || ended(); }, timeoutMs,
                             [&] { WaitForSingleObject(changed_.get(), 50); });
    return holds();
}

bool Collector::WaitEnd(DWORD timeoutMs) { return WaitForSingleObject(thread_.get(), timeoutMs) == WAIT_OBJECT_0; }

std::string Collector::Text() {
    Guard g(lock_);
    return text_;
}

Feeder::Feeder(UniqueHandle target, std::string data) : target_(std::move(target)), data_(std::move(data)) {
    thread_.reset(CreateThread(nullptr, 0, Pump, this, 0, nullptr));
}

Feeder::~Feeder() {
    if (thread_) WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI Feeder::Pump(void* param) noexcept {
    auto* self = static_cast<Feeder*>(param);
    const char* p = self->data_.data();
    size_t left = self->data_.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD piece = left > 65536 ? 65536 : static_cast<DWORD>(left);
        if (!WriteFile(self->target_.get(), p, piece, &written, nullptr)) break;
        p += written;
        left -= written;
    }
    self->target_.reset();  // the end of the child's input
    return 0;
}

bool Feeder::WaitEnd(DWORD timeoutMs) { return WaitForSingleObject(thread_.get(), timeoutMs) == WAIT_OBJECT_0; }

RunResult RunStandIn(const std::wstring& parameters, const std::string& input, const LaunchOptions& options,
                     DWORD timeoutMs) {
    RunResult result;
    Launched child;
    if (!StartStandIn(parameters, options, child)) return result;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    auto left = [&] {
        const ULONGLONG now = GetTickCount64();
        return now >= deadline ? DWORD{0} : static_cast<DWORD>(deadline - now);
    };
    {
        Collector out(child.output.get());
        Collector err(child.error.get());
        Feeder feeder(std::move(child.input), input);
        const bool ended = WaitForSingleObject(child.process.get(), left()) == WAIT_OBJECT_0;
        if (!ended) {
            TerminateProcess(child.process.get(), 1);  // our own child, by its handle
            WaitForSingleObject(child.process.get(), 5000);
        }
        // wsl.exe holds the only write ends, so its end is the streams' end.
        const bool drained = out.WaitEnd(ended ? left() : 5000) && err.WaitEnd(ended ? left() : 5000);
        result.finished = ended && drained;
        GetExitCodeProcess(child.process.get(), &result.exitCode);
        result.out = out.Text();
        result.err = err.Text();
    }
    return result;
}

}  // namespace standin_test
