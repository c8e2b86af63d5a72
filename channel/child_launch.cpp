// Starting a child process, optionally with anonymous pipes for its standard
// streams, and keeping a record of it for the pipe operations.

#include "channel/child_launch.h"

#include "channel/channel_state.h"
#include "toolkit/scoped.h"

#include <shellapi.h>

#include <algorithm>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace channel {
namespace {

using toolkit::UniqueHandle;

// The processId of a child started through the shell: no id is known.
constexpr uint32_t NoProcessId = 0xFFFFFFFF;

// Allocates a zero-filled record and links it at the head of ChildList.
// Only the allocation and the linking happen under the lock.
ChildProcess* NewChildRecord() noexcept {
    ChannelState& s = Channel();
    toolkit::Guard guard(s.childListLock);
    // The process heap stands in if the private one could not be created:
    // without a record the launch would report failure for a child that runs.
    void* memory = HeapAlloc(s.heap ? s.heap : GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ChildNode));
    auto* node = static_cast<ChildNode*>(memory);
    if (!node) return nullptr;
    node->next = s.childList;
    if (s.childList) s.childList->prev = node;
    s.childList = node;
    return &node->record;
}

// Replaces the handle in the slot by a copy the child cannot inherit. When
// no copy can be made the inheritable handle stays in use.
void MakeHandleNonInheritable(HANDLE* slot) noexcept {
    HANDLE copy = nullptr;
    const HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, *slot, self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return;
    CloseHandle(*slot);
    *slot = copy;
}

const wchar_t* OrEmpty(const wchar_t* text) noexcept { return text ? text : L""; }

// The command line: the program in double quotes unless it already starts
// with one, then one space and the parameters when there are any. Nothing
// inside either text is quoted or escaped. A string of its own, since
// CreateProcessW may write into the line it is given.
std::wstring BuildCommandLine(const wchar_t* program, const wchar_t* parameters) {
    std::wstring line;
    if (program[0] == L'"') {
        line = program;
    } else {
        line = L'"';
        line += program;
        line += L'"';
    }
    if (parameters[0] != L'\0') {
        line += L' ';
        line += parameters;
    }
    return line;
}

// A pipe made for one of the child's standard streams: the child's end is
// inheritable, the parent's end is not.
struct StreamPipe {
    UniqueHandle childEnd;
    UniqueHandle parentEnd;
};

// Makes the pipe for one stream. `childReads` says which end the child gets.
// A pipe that cannot be made leaves both ends empty: that stream is simply
// not redirected.
bool MakeStreamPipe(StreamPipe& pipe, bool childReads) noexcept {
    SECURITY_ATTRIBUTES inheritable{};
    inheritable.nLength = sizeof inheritable;
    inheritable.lpSecurityDescriptor = nullptr;
    inheritable.bInheritHandle = TRUE;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return false;
    pipe.childEnd.reset(childReads ? readEnd : writeEnd);
    HANDLE parentEnd = childReads ? writeEnd : readEnd;
    MakeHandleNonInheritable(&parentEnd);
    pipe.parentEnd.reset(parentEnd);
    return true;
}

// The name of an environment entry: the text before its first "=" after the
// first character (the entries that keep a drive's current directory,
// "=C:=C:\dir", begin with one).
std::wstring_view VariableName(std::wstring_view entry) noexcept { return entry.substr(0, entry.find(L'=', 1)); }

// CSTR_LESS_THAN, CSTR_EQUAL or CSTR_GREATER_THAN, case aside.
int CompareNames(std::wstring_view a, std::wstring_view b) noexcept {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE);
}

// This process's environment strings, freed however the copy of them ends.
struct EnvironmentStringsTraits {
    using Type = wchar_t*;
    static Type None() noexcept { return nullptr; }
    static void Close(Type strings) noexcept { (void)FreeEnvironmentStringsW(strings); }
};

// This process's environment block with each of `setVariables` set. Names
// are compared without regard to case, as Windows does; an entry set goes
// where that order of names puts it, as Windows wants a block sorted by
// name, and every other entry stays as and where it is. Empty when this
// process cannot read its own environment: the child then inherits it
// unchanged, which serves it better than a block of `setVariables` alone,
// without PATH or SystemRoot.
std::wstring EnvironmentWith(const wchar_t* const* setVariables) {
    const toolkit::Unique<EnvironmentStringsTraits> strings(GetEnvironmentStringsW());
    if (!strings) return {};
    std::vector<std::wstring> entries;
    for (const wchar_t* p = strings.get(); *p; p += wcslen(p) + 1) entries.emplace_back(p);
    for (const wchar_t* const* set = setVariables; *set; ++set) {
        const std::wstring_view name = VariableName(*set);
        std::erase_if(entries,
                      [&](const std::wstring& e) { return CompareNames(VariableName(e), name) == CSTR_EQUAL; });
        const auto at = std::find_if(entries.begin(), entries.end(), [&](const std::wstring& e) {
            return CompareNames(name, VariableName(e)) == CSTR_LESS_THAN;
        });
        entries.emplace(at, *set);
    }
    std::wstring block;
    for (const std::wstring& e : entries) block.append(e.c_str(), e.size() + 1);
    if (entries.empty()) block.push_back(L'\0');  // an empty block still ends with two nulls
    block.push_back(L'\0');
    return block;
}

// The directory the shell fallback starts in when none was given: the
// program text up to and including its last backslash, if that backslash is
// not the first character; empty otherwise.
std::wstring DirectoryFromProgram(const wchar_t* program) {
    const std::wstring_view text(program);
    const size_t last = text.rfind(L'\\');
    if (last == std::wstring_view::npos || last == 0) return {};
    return std::wstring(text.substr(0, last + 1));
}

// What a started child leaves to the parent: its process handle and the
// parent's pipe ends (null for a pipe not made).
struct StartedChild {
    UniqueHandle process;
    uint32_t processId;
    UniqueHandle inputWriteEnd;
    UniqueHandle outputReadEnd;
    UniqueHandle errorReadEnd;
};

// With KeepChild the handles move into a new record; otherwise, or when no
// record can be had, they close here.
uintptr_t KeepOrClose(StartedChild child, uint32_t flags) noexcept {
    if (!(flags & KeepChild)) return 1;
    // Without a record the child runs, but nobody could ever talk to it or
    // close its handles: they close with `child` and the launch fails.
    ChildProcess* record = NewChildRecord();
    if (!record) return 0;
    record->processHandle = child.process.release();
    record->processId = child.processId;
    record->inputWriteEnd = child.inputWriteEnd.release();
    record->outputReadEnd = child.outputReadEnd.release();
    record->errorReadEnd = child.errorReadEnd.release();
    record->flags = flags;
    return reinterpret_cast<uintptr_t>(record);
}

// Used when CreateProcessW could not start the program and no stream was to
// be redirected: the shell may still know how to open it (a document, a
// link).
uintptr_t StartThroughShell(const wchar_t* program, const wchar_t* parameters, const wchar_t* directory,
                            int showState, uint32_t flags) {
    const std::wstring fromProgram = directory ? std::wstring() : DirectoryFromProgram(program);
    if (!fromProgram.empty()) directory = fromProgram.c_str();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;
    info.lpFile = program;
    info.lpParameters = parameters;
    info.lpDirectory = directory;
    info.nShow = showState;
    if (!ShellExecuteExW(&info)) return 0;
    StartedChild child{UniqueHandle(info.hProcess), NoProcessId, {}, {}, {}};
    if ((flags & WaitForExit) && child.process) WaitForSingleObject(child.process.get(), INFINITE);
    return KeepOrClose(std::move(child), flags);
}

}  // namespace

ChannelState& Channel() noexcept { return toolkit::ProcessWide<ChannelState>(); }

void InitChildChannel() noexcept {
    // Builds the block (lock and heap) now rather than at the first launch;
    // safe to call more than once. The per-thread block needs no slot
    // reserved: it is a thread_local, zero in every thread.
    (void)Channel();
}

uintptr_t StartChildProcess(const wchar_t* program, const wchar_t* parameters, const wchar_t* directory,
                            uint32_t flags, const wchar_t* const* setVariables) noexcept {
    program = OrEmpty(program);
    parameters = OrEmpty(parameters);
    if (directory && directory[0] == L'\0') directory = nullptr;  // inherit the current directory

    const int showState = (flags & StartHidden) ? SW_HIDE : SW_SHOWNORMAL;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showState);
    DWORD creationFlags = NORMAL_PRIORITY_CLASS;
    if (flags & StartHidden) creationFlags |= CREATE_NEW_CONSOLE;
    BOOL inheritHandles = FALSE;

    // Input first, then output, then error. Each pipe that is made switches
    // the child to the given standard handles, and a child with redirected
    // streams stays on its parent's console.
    StreamPipe input, output, error;
    const bool keep = (flags & KeepChild) != 0;
    const auto redirect = [&](StreamPipe& pipe, bool childReads, HANDLE& stdSlot) {
        if (!MakeStreamPipe(pipe, childReads)) return;
        startup.dwFlags |= STARTF_USESTDHANDLES;
        stdSlot = pipe.childEnd.get();
        inheritHandles = TRUE;
        creationFlags &= ~static_cast<DWORD>(CREATE_NEW_CONSOLE);
    };
    if (keep && (flags & PipeStdin)) redirect(input, true, startup.hStdInput);
    if (keep && (flags & PipeStdout)) redirect(output, false, startup.hStdOutput);
    if (keep && (flags & PipeStderr)) redirect(error, false, startup.hStdError);
    if (startup.dwFlags & STARTF_USESTDHANDLES) {
        if (!startup.hStdInput) startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        if (!startup.hStdOutput) startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        if (!startup.hStdError) startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }

    std::wstring commandLine;
    std::wstring environment;
    try {
        commandLine = BuildCommandLine(program, parameters);
        if (setVariables) environment = EnvironmentWith(setVariables);
    } catch (const std::bad_alloc&) {
        return 0;  // every pipe end closes with its owner
    }
    // A block is never empty (it ends with two nulls): empty is inheriting.
    if (!environment.empty()) creationFlags |= CREATE_UNICODE_ENVIRONMENT;

    PROCESS_INFORMATION started{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, inheritHandles, creationFlags,
                       environment.empty() ? nullptr : environment.data(), directory, &startup, &started)) {
        // The child now holds its own ends; closing ours leaves it the only
        // holder, so the pipes break when it (and whatever it passed them
        // on to) is done.
        input.childEnd.reset();
        output.childEnd.reset();
        error.childEnd.reset();
        CloseHandle(started.hThread);  // the primary thread is of no interest
        StartedChild child{UniqueHandle(started.hProcess), started.dwProcessId, std::move(input.parentEnd),
                           std::move(output.parentEnd), std::move(error.parentEnd)};
        if (flags & WaitForExit) WaitForSingleObject(child.process.get(), INFINITE);
        return KeepOrClose(std::move(child), flags);
    }

    // Nothing started: no pipe end may outlive the attempt.
    input = {};
    output = {};
    error = {};
    constexpr uint32_t anyPipe = PipeStdout | PipeStdin | PipeStderr | ChainStdin;
    if (flags & anyPipe) return 0;
    try {
        return StartThroughShell(program, parameters, directory, showState, flags);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

}  // namespace channel
