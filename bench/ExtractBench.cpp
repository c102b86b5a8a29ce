// The update engine's cost per member, through the driver the program uses
// (options, print and listing routines, staging, commit), on archives of
// 1,000 and 10,000 small members, 100 to a folder as a release lays them out.
// Each round unpacks into a fresh folder; the best round of each counts.
// Beside it, the status log's cost per line for as many lines.
//
//   extract_member_us_1000 / _10000   unpacking time per member
//   extract_member_ratio              the second over the first: near 1 when
//                                     the cost grows with the work alone
//   log_line_us_1000 / _10000, log_line_ratio   the same for the log's lines
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "bench/BenchClock.h"
#include "tests/support/TestFiles.h"
#include "update/frmMain.h"
#include "update/modZip.h"

using namespace vorlane;
using bench::Clock;

namespace {

constexpr int kRounds = 3;

// Time per member of one unpacking into a fresh folder.
double extractionPerMember(int members) {
    const std::wstring archive =
        test::hostPath(BENCH_ARCHIVES_DIR) + L"\\bench-" + std::to_wstring(members) + L".zip";
    test::TempDir folder;
    const Clock::time_point start = Clock::now();
    const int32_t result = updater::UnzipArchive(archive, folder.file(L"install"));
    const double took = bench::elapsedSince<std::micro>(start);
    if (result != 0) throw std::runtime_error("the archive was not unpacked: " + std::to_string(result));
    return took / members;
}

// As during a run: the window hidden while the log is written.
double logPerLine(int lines) {
    updater::FrmMain form;
    form.Load(L"");
    ShowWindow(form.hwnd(), SW_HIDE);
    const std::wstring text(80, L'.');
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < lines; ++i) form.AddStatus(text);
    const double took = bench::elapsedSince<std::micro>(start);
    ShowWindow(form.hwnd(), SW_SHOW);
    return took / lines;
}

// The best of kRounds at 1,000 and at 10,000, the two sizes taking turns so
// that both meet the machine as it is; prints both and their ratio.
void reportScaling(const char* name, int decimals, double (*perUnit)(int)) {
    double small = 1e18, large = 1e18;
    for (int round = 0; round < kRounds; ++round) {
        small = std::min(small, perUnit(1000));
        large = std::min(large, perUnit(10000));
    }
    std::printf("%s_us_1000 %.*f us\n", name, decimals, small);
    std::printf("%s_us_10000 %.*f us\n", name, decimals, large);
    std::printf("%s_ratio %.2f x\n", name, large / small);
}

}  // namespace

int main() {
    try {
        reportScaling("extract_member", 0, extractionPerMember);
        reportScaling("log_line", 2, logPerLine);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "extract benchmark: %s\n", e.what());
        return 1;
    }
}
