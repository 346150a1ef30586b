// Speed of the window: start-up until the window is on screen, the cost of logging through the
// window's host against the console's host writing to /dev/null, and the longest stall of the
// user-interface thread while the lines arrive.
//
//   kestrow_gui_speed [--lines N] [--files N] [--dirs N] [--library DIR] [--grab FILE]
//
// --dirs N fills the directory list with a folder of N releases of 15 files each (warm cache),
// noting the time until the list is complete and the longest stall of the event loop meanwhile,
// and expands that folder in the folder tree.
// --files N checks a release of N small listed files (one log line each) through the console's
// job session writing to /dev/null and through the window, comparing the processor time of the
// whole process; --lines N logs N lines straight through each host.
//
// --grab runs a check-and-tag job over every release of the library and saves a picture of the
// window afterwards (for looking at the window without a display).
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "cli/consolehost.h"
#include "content/crc32.h"
#include "engine/jobsession.h"
#include "ui/cdirtree.h"
#include "ui/ckestrowdlg.h"
#include "ui/cmdclist.h"
#include "ui/dirlistmodel.h"

namespace {

using namespace kestrow;
using Clock = std::chrono::steady_clock;

class SilentQuestioner : public platform::Questioner {
public:
    platform::Answer Ask(const std::string&, const std::string&, platform::Buttons buttons,
                         platform::Icon) override {
        return platform::RefusingAnswer(buttons);
    }
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Processor time of the calling thread: on a busy machine it says more than the wall clock.
double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Processor time of the whole process, every thread included.
double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// A release of `count` one-line files, all listed in its SFV file; returns the library folder.
std::string MakeLibrary(int count) {
    char pattern[] = "/tmp/kestrow-guispeed-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) return {};
    const std::string library = std::string(made) + "/";
    const std::string release = library + "Many_Files-2008-GRP/";
    mkdir(release.c_str(), 0755);
    std::string sfv;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%06d.bin", i);
        const std::string bytes = std::to_string(i);
        std::FILE* f = std::fopen((release + name).c_str(), "wb");
        if (!f) return {};
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        char line[64];
        std::snprintf(line, sizeof line, "%s %08X\r\n", name, Crc32(0, bytes.data(), bytes.size()));
        sfv += line;
    }
    std::FILE* f = std::fopen((release + "release.sfv").c_str(), "wb");
    if (!f) return {};
    std::fwrite(sfv.data(), 1, sfv.size(), f);
    std::fclose(f);
    return library;
}

// What a check of many small listed files logs: one line per file with its result appended.
void LogLikeAPass(JobReports& host, int lines) {
    for (int i = 0; i < lines; ++i) {
        const LogLineId id =
            host.LogLine("== CRC checking: " + std::to_string(i) + "-some_artist-some_title-grp.mp3");
        host.AppendToLogLine(" ===> CRC OK", id);
    }
}

// Runs the event loop until `done` holds, noting the longest gap between two turns of the loop
// (in wall-clock time and in processor time of the user-interface thread).
double RunUntil(const std::function<bool()>& done, double* longestCpu = nullptr) {
    QEventLoop loop;
    QTimer tick;
    Clock::time_point last = Clock::now();
    double lastCpu = ThreadCpuMs();
    double longest = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        const double cpu = ThreadCpuMs();
        longest = std::max(longest, Ms(now - last));
        if (longestCpu) *longestCpu = std::max(*longestCpu, cpu - lastCpu);
        last = now;
        lastCpu = cpu;
        if (done()) loop.quit();
    });
    // A tick every 5 ms finds every stall that matters without keeping a processor busy.
    tick.setTimerType(Qt::PreciseTimer);
    tick.start(5);
    loop.exec();
    return longest;
}

// A folder of `count` releases of 15 small files each (13 tracks, a checksum list, a playlist).
std::string MakeManyReleases(int count) {
    char pattern[] = "/tmp/kestrow-guispeed-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) return {};
    const std::string library = std::string(made) + "/releases/";
    mkdir(library.c_str(), 0755);
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Artist_%05d-Album_Title-2008-GRP/", i);
        const std::string release = library + name;
        if (mkdir(release.c_str(), 0755) != 0) return {};
        for (int f = 0; f < 15; ++f) {
            char file[32];
            std::snprintf(file, sizeof file,
                          f < 13    ? "%02d-track.mp3"
                          : f == 13 ? "release.sfv"
                                    : "release.m3u",
                          f + 1);
            std::FILE* out = std::fopen((release + file).c_str(), "wb");
            if (!out) return {};
            std::fwrite(file, 1, std::strlen(file), out);
            std::fclose(out);
        }
    }
    return library;
}

// The list filled from a folder of many releases, and that folder expanded in the tree.
int ManyReleases(int count) {
    const Clock::time_point made = Clock::now();
    const std::string library = MakeManyReleases(count);
    if (library.empty()) {
        std::fprintf(stderr, "cannot build the test library\n");
        return 1;
    }
    std::printf("built %d releases of 15 files in %.0f ms\n", count, Ms(Clock::now() - made));
    ProcessOptions options;
    options.lastDir = library;
    CKestrowDlg window(options, CKestrowDlg::Setup{});
    window.show();
    // The window's own first fill warms the cache.
    RunUntil([&] { return !window.dirModel().Filling() && window.tree().Pending() == 0; });
    double best = 1e300, worst = 0, longestGap = 0;
    for (int round = 0; round < 3; ++round) {
        const Clock::time_point t = Clock::now();
        window.FillDirList(QString::fromStdString(library));
        const double gap = RunUntil([&] { return !window.dirModel().Filling(); });
        const double ms = Ms(Clock::now() - t);
        if (window.dirModel().rowCount() != count) {
            std::fprintf(stderr, "the list has %d rows, not %d\n", window.dirModel().rowCount(), count);
            return 1;
        }
        best = std::min(best, ms);
        worst = std::max(worst, ms);
        longestGap = std::max(longestGap, gap);
    }
    std::printf("directory list of %d releases complete: best %.1f ms, worst %.1f ms of 3\n", count, best,
                worst);
    std::printf("  longest gap between turns of the event loop while it filled: %.1f ms\n", longestGap);

    // The folder tree: the library's parent is the only drive; the library is expanded.
    const std::string parent = library.substr(0, library.size() - std::strlen("releases/"));
    CDirTree::Sources sources;
    sources.drives = [parent] {
        return std::vector<platform::Drive>{{parent, parent, platform::DriveType::Fixed}};
    };
    CDirTree tree(nullptr, sources);
    tree.show();
    double treeBest = 1e300, treeWorst = 0, treeGap = 0;
    for (int round = 0; round < 4; ++round) {
        tree.BuildTree(QString::fromStdString(parent));
        RunUntil([&] { return tree.Pending() == 0; });
        QTreeWidgetItem* folder = tree.topLevelItem(0)->child(0);
        if (!folder || CDirTree::PathOf(folder) != QString::fromStdString(library)) {
            std::fprintf(stderr, "the tree did not open at %s\n", parent.c_str());
            return 1;
        }
        const Clock::time_point t = Clock::now();
        tree.expandItem(folder);
        const double gap = RunUntil([&] { return CDirTree::Populated(folder) && tree.Pending() == 0; });
        QApplication::processEvents();
        const double ms = Ms(Clock::now() - t);
        if (folder->childCount() != count) {
            std::fprintf(stderr, "the tree shows %d folders, not %d\n", folder->childCount(), count);
            return 1;
        }
        // The first round only fills the cache.
        if (round == 0) continue;
        treeBest = std::min(treeBest, ms);
        treeWorst = std::max(treeWorst, ms);
        treeGap = std::max(treeGap, gap);
    }
    std::printf("expanding a folder of %d subdirectories in the tree: best %.1f ms, worst %.1f ms of 3\n",
                count, treeBest, treeWorst);
    std::printf("  longest gap between turns of the event loop meanwhile: %.1f ms\n", treeGap);
    const std::string remove = "rm -rf '" + parent + "'";
    return std::system(remove.c_str()) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Clock::time_point start = Clock::now();
    QApplication app(argc, argv);
    int lines = 100000;
    std::string library = KESTROW_SOURCE_DIR "/examples/library/";
    std::string grab;
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--dirs") && i + 1 < argc) return ManyReleases(std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--lines") && i + 1 < argc) lines = std::atoi(argv[++i]);
        if (!std::strcmp(argv[i], "--files") && i + 1 < argc) files = std::atoi(argv[++i]);
        if (!std::strcmp(argv[i], "--library") && i + 1 < argc) library = argv[++i];
        if (!std::strcmp(argv[i], "--grab") && i + 1 < argc) grab = argv[++i];
    }
    if (library.back() != '/') library += '/';

    std::string madeLibrary;
    if (files > 0) {
        const Clock::time_point made = Clock::now();
        madeLibrary = MakeLibrary(files);
        if (madeLibrary.empty()) {
            std::fprintf(stderr, "cannot build the test library\n");
            return 1;
        }
        library = madeLibrary;
        std::printf("built a release of %d listed files in %.0f ms\n", files, Ms(Clock::now() - made));
        start = Clock::now();
    }

    ProcessOptions options;
    options.lastDir = library;
    options.SuppressAlerts = 1;
    // Both runs of --files check the same unchanged library: no tagline is written.
    if (files > 0) options.GeneratePrepareTagline = 0;
    options.PrepareCRCCheck = 1;
    options.GeneratePrepareTagline = 1;
    options.TaglinePrefix = "[KSTW]";
    CKestrowDlg window(options, CKestrowDlg::Setup{});
    window.show();
    RunUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); });
    std::printf("window shown after %.1f ms (from the start of main, library %s)\n", Ms(Clock::now() - start),
                library.c_str());

    if (!grab.empty()) {
        RunUntil([&] { return !window.dirModel().Filling(); });
        static_cast<QTreeView*>(window.control(CKestrowDlg::Ctl::DirList))->selectAll();
        window.host().SetQuestionHandler(
            [](const HostQuestion& q) { return platform::RefusingAnswer(q.buttons); });
        window.StartJob();
        RunUntil([&] { return window.session().Finished() && !window.session().Active(); });
        window.grab().save(QString::fromStdString(grab));
        std::printf("picture of the window after a check-and-tag job saved to %s\n", grab.c_str());
        return 0;
    }

    if (files > 0) {
        const ProcessOptions& jobOptions = options;
        JobRequest request;
        request.folder = library;
        request.names = {"Many_Files-2008-GRP"};
        request.options = jobOptions;
        // Alternating rounds, the best of each kept: the machine may be busy with other work.
        double consoleWall = 1e300, consoleCpu = 1e300, guiWall = 1e300, guiCpu = 1e300;
        double longestGap = 0, longestCpuTurn = 0, guiUiCpu = 1e300;
        window.host().SetQuestionHandler(
            [](const HostQuestion& q) { return platform::RefusingAnswer(q.buttons); });
        auto* list = static_cast<QTreeView*>(window.control(CKestrowDlg::Ctl::DirList));
        for (int round = 0; round < 4; ++round) {
            {
                std::FILE* null = std::fopen("/dev/null", "w");
                ProcessOptions unused;
                JobControl control;
                SilentQuestioner questioner;
                ConsoleHost::Setup setup;
                setup.out = null;
                ConsoleHost console(unused, control, questioner, setup);
                JobSession session(console, control);
                const Clock::time_point t = Clock::now();
                const double cpu = ProcessCpuMs();
                session.Run(request);
                console.Finish();
                // The first round only fills the file cache.
                if (round > 0) {
                    consoleWall = std::min(consoleWall, Ms(Clock::now() - t));
                    consoleCpu = std::min(consoleCpu, ProcessCpuMs() - cpu);
                }
                std::fclose(null);
            }
            if (round == 0) continue;
            // The list is filled again after every job.
            RunUntil([&] { return !window.dirModel().Filling(); });
            list->selectAll();
            const Clock::time_point t = Clock::now();
            const double cpu = ProcessCpuMs();
            const double uiCpu = ThreadCpuMs();
            window.StartJob();
            double cpuTurn = 0;
            const double gap = RunUntil(
                [&] {
                    return window.session().Finished() && !window.session().Active() &&
                           window.host().Pending() == 0;
                },
                &cpuTurn);
            guiWall = std::min(guiWall, Ms(Clock::now() - t));
            guiCpu = std::min(guiCpu, ProcessCpuMs() - cpu);
            guiUiCpu = std::min(guiUiCpu, ThreadCpuMs() - uiCpu);
            longestGap = std::max(longestGap, gap);
            longestCpuTurn = std::max(longestCpuTurn, cpuTurn);
        }
        const int shown = window.log().model()->rowCount() / 3;
        std::printf("check of %d listed files, %d log lines (wall clock / processor time of the process):\n",
                    files, shown);
        std::printf("  console job session to /dev/null: %8.1f ms / %8.1f ms\n", consoleWall, consoleCpu);
        std::printf("  the window:                        %8.1f ms / %8.1f ms  (%.2fx the console's time)\n",
                    guiWall, guiCpu, guiCpu / consoleCpu);
        std::printf("  of which on the user-interface thread: %.1f ms\n", guiUiCpu);
        std::printf("  longest gap between turns of the event loop: %.1f ms (%.1f ms of processor time)\n",
                    longestGap, longestCpuTurn);
        {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            std::printf("  (process so far: user %ld ms, system %ld ms)\n",
                        static_cast<long>(usage.ru_utime.tv_sec * 1000 + usage.ru_utime.tv_usec / 1000),
                        static_cast<long>(usage.ru_stime.tv_sec * 1000 + usage.ru_stime.tv_usec / 1000));
        }
        std::string remove = "rm -rf '" + madeLibrary + "'";
        return std::system(remove.c_str()) == 0 ? 0 : 1;
    }

    // The console's host writing to /dev/null.
    std::FILE* null = std::fopen("/dev/null", "w");
    ProcessOptions consoleOptions;
    JobControl consoleControl;
    SilentQuestioner questioner;
    ConsoleHost::Setup setup;
    setup.out = null;
    Clock::time_point t = Clock::now();
    double cpu = ThreadCpuMs();
    {
        ConsoleHost console(consoleOptions, consoleControl, questioner, setup);
        LogLikeAPass(console, lines);
        console.Finish();
    }
    const double consoleMs = Ms(Clock::now() - t);
    const double consoleCpu = ThreadCpuMs() - cpu;
    std::fclose(null);

    // The window's host: a worker logs, the user-interface thread shows.
    const int before = window.log().model()->rowCount();
    std::atomic<bool> workerDone{false};
    double workerMs = 0;
    double workerCpu = 0;
    t = Clock::now();
    const double uiCpuStart = ThreadCpuMs();
    std::thread worker([&] {
        const double c = ThreadCpuMs();
        LogLikeAPass(window.host(), lines);
        workerCpu = ThreadCpuMs() - c;
        workerMs = Ms(Clock::now() - t);
        workerDone = true;
    });
    double longestCpuTurn = 0;
    const double longestGap = RunUntil(
        [&] {
            return workerDone && window.host().Pending() == 0 &&
                   window.log().model()->rowCount() >= before + lines;
        },
        &longestCpuTurn);
    const double shownMs = Ms(Clock::now() - t);
    const double uiCpu = ThreadCpuMs() - uiCpuStart;
    worker.join();

    std::printf("%d lines (wall clock / processor time of the thread):\n", lines);
    std::printf("  console host to /dev/null:          %8.1f ms / %8.1f ms\n", consoleMs, consoleCpu);
    std::printf("  window host, the logging worker:    %8.1f ms / %8.1f ms  (%.2fx the console's time)\n",
                workerMs, workerCpu, workerCpu / consoleCpu);
    std::printf("  window host, until all are shown:   %8.1f ms / %8.1f ms on the user-interface thread\n",
                shownMs, uiCpu);
    std::printf(
        "longest gap between turns of the event loop while lines arrived: %.1f ms (%.1f ms of processor "
        "time)\n",
        longestGap, longestCpuTurn);
    return 0;
}
