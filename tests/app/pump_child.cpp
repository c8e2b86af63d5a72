// A stand-in shell for the pump and writer tests. Each argument is one step:
//   out:HEX     write the bytes to stdout      err:HEX   write them to stderr
//   exit:N      end with code N
//   flood:N     write lines "1".."N" to stdout in large writes
//   errflood:N  write lines "e1".."eN" to stderr
//   copyin:PATH copy stdin to the file until it ends (or until N bytes: copyin:PATH|N)
//   signal:NAME set the test's named event NAME
//   await:NAME  wait until the test sets its named event NAME; a wait that
//               lasts a minute ends the child with exit code 98
// The events let a test and the child take turns, so that what a test
// asserts about the order of writes and reads never rests on a pause.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void WriteAll(HANDLE h, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!WriteFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n, nullptr)) return;
        done += n;
    }
}

std::string FromHex(const std::wstring& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<char>(std::wcstoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    }
    return out;
}

void Flood(HANDLE h, long count, const char* prefix) {
    std::string chunk;
    for (long i = 1; i <= count; ++i) {
        chunk += prefix + std::to_string(i) + "\n";
        if (chunk.size() > 60000) {
            WriteAll(h, chunk);
            chunk.clear();
        }
    }
    WriteAll(h, chunk);
}

void CopyIn(const std::wstring& argument) {
    const size_t colon = argument.find(L'|');
    const std::wstring path = argument.substr(0, colon);
    const long limit = colon == std::wstring::npos ? -1 : std::wcstol(argument.c_str() + colon + 1, nullptr, 10);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    long total = 0;
    char buffer[4096];
    for (;;) {
        DWORD want = sizeof buffer;
        if (limit >= 0) {
            if (total >= limit) break;
            want = static_cast<DWORD>(std::min<long>(limit - total, sizeof buffer));
        }
        DWORD n = 0;
        if (!ReadFile(in, buffer, want, &n, nullptr) || n == 0) break;
        DWORD written = 0;
        WriteFile(file, buffer, n, &written, nullptr);
        total += static_cast<long>(n);
    }
    CloseHandle(file);
}

constexpr DWORD AwaitLimitMs = 60000;
constexpr int AwaitGaveUp = 98;

void Signal(const std::wstring& name) {
    if (HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str())) {
        SetEvent(event);
        CloseHandle(event);
    }
}

void Await(const std::wstring& name) {
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name.c_str());
    if (!event || WaitForSingleObject(event, AwaitLimitMs) != WAIT_OBJECT_0) ExitProcess(AwaitGaveUp);
    CloseHandle(event);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 99;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    for (int i = 1; i < argc; ++i) {
        const std::wstring step = argv[i];
        const size_t colon = step.find(L':');
        const std::wstring verb = step.substr(0, colon);
        const std::wstring value = colon == std::wstring::npos ? L"" : step.substr(colon + 1);
        if (verb == L"out") WriteAll(out, FromHex(value));
        else if (verb == L"err") WriteAll(err, FromHex(value));
        else if (verb == L"exit") return static_cast<int>(std::wcstol(value.c_str(), nullptr, 10));
        else if (verb == L"flood") Flood(out, std::wcstol(value.c_str(), nullptr, 10), "");
        else if (verb == L"errflood") Flood(err, std::wcstol(value.c_str(), nullptr, 10), "e");
        else if (verb == L"copyin") CopyIn(value);
        else if (verb == L"signal") Signal(value);
        else if (verb == L"await") Await(value);
    }
    return 0;
}
