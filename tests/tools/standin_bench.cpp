// Throughput of the WSL stand-in: a 10 MB burst on the command's standard
// output, read by a Windows parent through a pipe as fast as it can. Run by
// hand under Wine (build-dir/wine-exec tests/tools/standin_bench.exe [runs]);
// it prints figures and checks only that every byte arrived.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/tools/standin_launch.h"

using namespace standin_test;

namespace {

constexpr long long BurstBytes = 10 * 1000 * 1000;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Run {
    bool ok = false;
    double total = 0;   // from the launch to the end of the stream
    double stream = 0;  // from the first byte to the end of the stream
};

Run Once(const std::wstring& parameters, long long expectedBytes) {
    Run run;
    LARGE_INTEGER start, first{}, end;
    QueryPerformanceCounter(&start);
    Launched child;
    if (!StartStandIn(parameters, {}, child)) return run;
    child.input.reset();
    Collector err(child.error.get());
    std::string buffer(64 * 1024, '\0');
    long long total = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(child.output.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) break;
        if (got > 0 && total == 0) QueryPerformanceCounter(&first);
        total += got;
    }
    QueryPerformanceCounter(&end);
    WaitForSingleObject(child.process.get(), 30000);
    DWORD code = 1;
    GetExitCodeProcess(child.process.get(), &code);
    run.ok = total == expectedBytes && code == 0;
    run.total = Seconds(start, end);
    run.stream = total > 0 ? Seconds(first, end) : 0;
    if (!run.ok) {
        err.WaitEnd(5000);
        printf("  run failed: %lld of %lld bytes, exit code %lu: %s\n", total, expectedBytes, code, err.Text().c_str());
    }
    return run;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? atoi(argv[1]) : 3;
    const std::wstring burst = L"head -c " + std::to_wstring(BurstBytes) + L" /dev/zero";

    double bestStart = 1e9;
    for (int i = 0; i < runs; ++i) {
        const Run r = Once(L"true", 0);
        if (r.ok && r.total < bestStart) bestStart = r.total;
    }
    printf("start and end of an empty command: %.1f ms (best of %d)\n", bestStart * 1000, runs);

    std::vector<double> streaming, withStart;
    for (int i = 0; i < runs; ++i) {
        const Run r = Once(burst, BurstBytes);
        if (!r.ok) return 1;
        streaming.push_back(BurstBytes / 1e6 / r.stream);
        withStart.push_back(BurstBytes / 1e6 / r.total);
        printf("run %d: %.1f MB/s from the first byte, %.1f MB/s from the launch (%.0f ms)\n", i + 1,
               streaming.back(), withStart.back(), r.total * 1000);
    }
    // The median: one run that found its first byte late, after the pipes had
    // filled, would make the best figure a fiction.
    printf("10 MB stdout burst, median of %d: %.1f MB/s from the first byte, %.1f MB/s from the launch\n", runs,
           Median(streaming), Median(withStart));
    return 0;
}
