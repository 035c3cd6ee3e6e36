// Times the look at a document's own bytes that decides whether the word processor must load it.
// Usage: prescan_timing DOCUMENT FIND [REPEATS]; prints the median milliseconds and the answer.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "os/file_system.h"
#include "os/text_encoding.h"
#include "run/document_prescan.h"

int main(int argc, char** argv) {
    using namespace quorvane;
    if (argc < 3) {
        std::fprintf(stderr, "usage: prescan_timing DOCUMENT FIND [REPEATS]\n");
        return 2;
    }
    const std::u16string path = os::fromNativePath(os::pathFromArgument(argv[1]));
    const std::vector<run::SearchedText> searched = {{os::fromUtf8(argv[2]), false}};
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 51;
    std::vector<double> times;
    bool may = false;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        may = run::mayHoldMatch(path, searched);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    std::printf("%.2f %s\n", times[times.size() / 2], may ? "may-match" : "cannot-match");
    return 0;
}
