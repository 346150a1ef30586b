// Planning time of one directory of many listed files: every name cut, once to names that stay
// apart and once to the same name, so that every file after the first needs a number. The goal is
// time in proportion to the files: 20,000 files of either kind planned in under 2 s.
// Usage: plan_bench [benchmark options]; the folders are built under $TMPDIR (default /tmp).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "content/listeddir.h"
#include "content/reporter.h"
#include "platform/fs.h"
#include "rename/changeplan.h"

namespace {

using namespace kestrow;

class QuietReporter : public Reporter {
public:
    int Report(int, const std::string&, const std::string&, const std::string&) override { return 0; }
};

void Touch(const std::string& path, const std::string& bytes = {}) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    if (!bytes.empty() && ::write(fd, bytes.data(), bytes.size()) < 0) std::perror(path.c_str());
    ::close(fd);
}

// A folder of `count` empty MP3 files listed in one SFV list and one playlist, built once per
// shape and size. colliding: the names differ only past the point where they are cut.
const std::string& Folder(int count, bool colliding) {
    static std::map<std::pair<int, bool>, std::string> built;
    std::string& dir = built[{count, colliding}];
    if (!dir.empty()) return dir;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kestrow-plan-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return dir;
    dir = pattern + "/";
    std::string sfv, m3u;
    char number[16];
    for (int i = 0; i < count; ++i) {
        std::snprintf(number, sizeof number, "%05d", i);
        const std::string name =
            colliding
                ? "01-an_artist_with_a_long_name-the_same_long_title-" + std::string(number) + "-grp.mp3"
                : std::string(number) + "-an_artist_with_a_long_name-a_long_title-grp.mp3";
        Touch(dir + name);
        sfv += name + " 00000000\r\n";
        m3u += name + "\r\n";
    }
    Touch(dir + "album.sfv", sfv);
    Touch(dir + "album.m3u", m3u);
    return dir;
}

void BM_Plan(benchmark::State& state, bool colliding) {
    const int count = static_cast<int>(state.range(0));
    const std::string& dir = Folder(count, colliding);
    if (dir.empty()) {
        state.SkipWithError("could not build the folder");
        return;
    }
    const GroupTagMap tags{{"GRP", "GRP"}};
    RenameOptions options;
    options.Set(RenameOption::PreserveGrptag);
    QuietReporter quiet;
    std::size_t renamed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto listed = std::make_unique<ListedDir>(dir);
        listed->LoadLists();
        auto plan = std::make_unique<ChangePlan>();
        state.ResumeTiming();
        PlanDirectory(*listed, *plan, PlanSettings{&tags, nullptr}, 40, options, false, quiet);
        state.PauseTiming();
        renamed = plan->fileRenames.size();
        benchmark::DoNotOptimize(plan->recordText.data());
        plan.reset();
        listed.reset();
        state.ResumeTiming();
    }
    state.counters["renamed"] = static_cast<double>(renamed);
}

}  // namespace

BENCHMARK_CAPTURE(BM_Plan, distinct_cuts, false)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Plan, colliding_cuts, true)
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
