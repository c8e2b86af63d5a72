// The entry point of every test program. A test that crashes must fail:
// under Wine a program ended by an unhandled exception exits with 0 once the
// debugger Wine starts for it is done, which ctest would count as a pass.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI EndWithTheExceptionCode(EXCEPTION_POINTERS* info) noexcept {
    const DWORD code = info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0;
    std::fprintf(stderr, "unhandled exception 0x%08lx: the test program ends\n", static_cast<unsigned long>(code));
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), code ? code : 1);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    // The filter replaced is the C runtime's, which only turns exceptions into
    // C signals; no test handles those.
    (void)SetUnhandledExceptionFilter(EndWithTheExceptionCode);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
