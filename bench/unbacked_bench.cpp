// Restore without backup data: leftover files matched with orphan list entries by the likeness of
// their names, which costs time in the square of their number. The goal: 2,000 files against
// 2,000 entries in under a second, for the matching alone and for the whole analysis of a folder
// (scan, lists, a CRC of every leftover file, matching, listing).
// Usage: unbacked_bench [benchmark options]; the folders are built under $TMPDIR (default /tmp).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "backup/restoredirjob.h"
#include "backup/unbackedmatch.h"
#include "content/reporter.h"

namespace {

using namespace kestrow;

class QuietReporter : public Reporter {
public:
    int Report(int, const std::string&, const std::string&, const std::string&) override { return 1; }
};

// Renamed files and their listed names: each pair shares its longest run (title and number), and
// every entry shares a long run with every file, so no pair is ruled out early.
std::string FileName(int i) {
    char name[96];
    std::snprintf(name, sizeof name, "a_rather_long_track_title_%04d.mp3", i);
    return name;
}
std::string EntryName(int i) {
    char name[128];
    std::snprintf(name, sizeof name, "%04d-the_original_artist-a_rather_long_track_title_%04d-grp.mp3", i, i);
    return name;
}

void BM_MatchNames(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<UnbackedFile> files;
    std::vector<UnbackedEntry> entries;
    for (int i = 0; i < count; ++i) {
        files.push_back({FileName(i), 0, std::string("1")});
        entries.push_back({EntryName(i), "0", UnbackedList::M3u, false});
    }
    std::size_t matched = 0;
    for (auto _ : state) {
        const UnbackedResult result = MatchUnbacked(files, entries);
        matched = result.matches.size();
        benchmark::DoNotOptimize(result.matches.data());
    }
    state.counters["matched"] = static_cast<double>(matched);
}

void Touch(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    if (::write(fd, bytes.data(), bytes.size()) < 0) std::perror(path.c_str());
    ::close(fd);
}

// A folder of `count` small renamed files and a playlist of their original names, built once.
const std::string& Folder(int count) {
    static std::map<int, std::string> built;
    std::string& dir = built[count];
    if (!dir.empty()) return dir;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kestrow-unbacked-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return dir;
    dir = pattern + "/";
    std::string m3u;
    for (int i = 0; i < count; ++i) {
        Touch(dir + FileName(i), "a track of " + std::to_string(i));
        m3u += EntryName(i) + "\r\n";
    }
    Touch(dir + "album.m3u", m3u);
    return dir;
}

void BM_AnalyseFolder(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string& dir = Folder(count);
    if (dir.empty()) {
        state.SkipWithError("could not build the folder");
        return;
    }
    QuietReporter quiet;
    std::size_t planned = 0;
    for (auto _ : state) {
        DirContents scanned(dir);
        scanned.Scan();
        RestoreDirJob job(scanned);
        job.LoadLists();
        job.FindBackupData(false, quiet);
        job.RestoreAnalysis(RestoreFlag::RestoreWithoutBackupData, quiet);
        planned = job.plan.operations.size();
    }
    state.counters["planned"] = static_cast<double>(planned);
}

}  // namespace

BENCHMARK(BM_MatchNames)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalyseFolder)->Arg(2000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
