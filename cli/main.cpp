// kestrow-cli: checks directories of releases from a terminal or a script with the same engine
// as the window.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "backup/showbackup.h"
#include "cli/clioptions.h"
#include "cli/consolehost.h"
#include "cli/terminalquestioner.h"
#include "engine/jobsession.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "settings/commandline.h"
#include "settings/options.h"

namespace {

using namespace kestrow;

JobControl* g_control = nullptr;
volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    if (!g_interrupted) {
        g_interrupted = 1;
        if (g_control) g_control->abortRequested = true;
        static const char kNote[] =
            "\nkestrow-cli: aborting at the next step (Ctrl-C again to quit at once)\n";
        if (::write(2, kNote, sizeof(kNote) - 1) < 0) {
            // Nothing to do about it inside a signal handler.
        }
        return;
    }
    ::signal(SIGINT, SIG_DFL);
    ::raise(SIGINT);
}

void Complain(const std::string& message) {
    std::fprintf(stderr, "kestrow-cli: %s\n", platform::EscapeControls(message).c_str());
}

bool NoColorRequested() {
    const char* v = std::getenv("NO_COLOR");
    return v && *v;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliOptions cli = ParseCliArguments(args);
    if (cli.help) {
        std::fputs(CliUsage().c_str(), stdout);
        return 0;
    }
    if (cli.version) {
        std::printf("kestrow-cli %s\n", KESTROW_VERSION);
        return 0;
    }
    if (!cli.error.empty()) {
        Complain(cli.error);
        std::fputs("Try 'kestrow-cli --help' for more information.\n", stderr);
        return 2;
    }

    if (!cli.showBackupDir.empty()) {
        std::string text;
        const int status = ShowBackup(cli.showBackupDir, text);
        std::fputs(text.c_str(), stdout);
        return status;
    }

    if (!cli.settingsFile.empty() && platform::Stat(cli.settingsFile) != platform::PathKind::File) {
        Complain("cannot read settings file " + cli.settingsFile);
        return 2;
    }
    ProcessOptions options;
    platform::Status loaded = LoadOptions(LocateSettings(CurrentSettingsPlaces(cli.settingsFile)), options);
    if (!loaded) {
        Complain("cannot read the settings file: " + loaded.message());
        return 2;
    }
    options.lastProcessOption = cli.mode == 'R' ? 0 : cli.mode == 'P' ? 1 : 2;

    const bool stdinTerminal = ::isatty(0) == 1;
    const bool stdoutTerminal = ::isatty(1) == 1;
    const bool stderrTerminal = ::isatty(2) == 1;
    const bool interactive = cli.answers == AnswerPolicy::Ask && stdinTerminal;
    // Nobody can answer: every question takes its silent answer, as with "Suppress alert popups".
    if (cli.answers == AnswerPolicy::Ask && !interactive) options.SuppressAlerts = 1;

    bool colour = false;
    switch (cli.colour) {
        case ColourChoice::Always:
            colour = true;
            break;
        case ColourChoice::Never:
            colour = false;
            break;
        case ColourChoice::Auto:
            colour = stdoutTerminal && !NoColorRequested();
            break;
    }

    std::vector<RunDirectory> runs;
    const std::string cwd = platform::CurrentDirectory();
    for (const std::string& d : cli.directories) {
        RunDirectory run = SplitRunDirectory(d, cwd);
        if (run.name.empty()) {
            Complain("cannot process the root folder itself: " + d);
            return 2;
        }
        runs.push_back(run);
    }

    JobControl control;
    TerminalQuestioner questioner(cli.answers, interactive, &control.abortRequested);
    ConsoleHost::Setup setup;
    setup.colour = colour;
    setup.answers = cli.answers;
    setup.interactive = interactive;
    setup.progress = cli.progress && stderrTerminal;
    setup.outIsTerminal = stdoutTerminal;
    ConsoleHost host(options, control, questioner, setup);
    JobSession session(host, control);

    g_control = &control;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);

    // Directories given one after another in the same folder make one job, as a selection of
    // several entries of the directory list does in the window.
    for (std::size_t first = 0; first < runs.size();) {
        // An abort ends the whole run, not only the job it came in.
        if (control.abortRequested) {
            control.sawRefusal = true;
            break;
        }
        std::size_t last = first;
        std::vector<std::string> names;
        while (last < runs.size() && runs[last].parent == runs[first].parent)
            names.push_back(runs[last++].name);
        JobRequest request;
        request.folder = runs[first].parent;
        request.names = std::move(names);
        request.options = options;
        session.Run(std::move(request));
        first = last;
    }
    host.Finish();
    // Every thread is joined; a late Ctrl-C has nothing left to touch.
    g_control = nullptr;

    if (control.sawUnreadableDir) return 2;
    if (control.sawProblemFiles || control.sawRefusal || control.sawFailure) return 1;
    return 0;
}
