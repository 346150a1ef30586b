// Reading the console program's arguments.
#include "cli/clioptions.h"

#include <cctype>

namespace kestrow {

CliOptions ParseCliArguments(const std::vector<std::string>& args) {
    CliOptions o;
    bool yes = false;
    bool no = false;
    bool onlyDirectories = false;
    auto fail = [&o](std::string message) {
        if (o.error.empty()) o.error = std::move(message);
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (onlyDirectories || a.empty() || a[0] != '-' || a == "-") {
            o.directories.push_back(a);
        } else if (a == "--") {
            onlyDirectories = true;
        } else if (a.size() == 2 && a[1] != '-') {
            char m = static_cast<char>(std::toupper(static_cast<unsigned char>(a[1])));
            if (m != 'C' && m != 'P' && m != 'R') {
                fail("unknown option " + a);
            } else if (o.mode && o.mode != m) {
                fail("only one mode may be given");
            } else {
                o.mode = m;
            }
        } else if (a == "--settings") {
            if (i + 1 >= args.size())
                fail("--settings needs a file");
            else
                o.settingsFile = args[++i];
        } else if (a.rfind("--settings=", 0) == 0) {
            o.settingsFile = a.substr(11);
            if (o.settingsFile.empty()) fail("--settings needs a file");
        } else if (a == "--show-backup") {
            if (i + 1 >= args.size())
                fail("--show-backup needs a directory");
            else
                o.showBackupDir = args[++i];
        } else if (a == "--yes") {
            yes = true;
        } else if (a == "--no") {
            no = true;
        } else if (a == "--color" || a == "--colour") {
            o.colour = ColourChoice::Always;
        } else if (a.rfind("--color=", 0) == 0 || a.rfind("--colour=", 0) == 0) {
            std::string v = a.substr(a.find('=') + 1);
            if (v == "auto")
                o.colour = ColourChoice::Auto;
            else if (v == "always")
                o.colour = ColourChoice::Always;
            else if (v == "never")
                o.colour = ColourChoice::Never;
            else
                fail("--color takes auto, always or never");
        } else if (a == "--progress") {
            o.progress = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--version") {
            o.version = true;
        } else {
            fail("unknown option " + a);
        }
    }
    if (yes && no) fail("--yes and --no exclude each other");
    o.answers = yes ? AnswerPolicy::Yes : no ? AnswerPolicy::No : AnswerPolicy::Ask;
    if (o.help || o.version) return o;
    if (!o.showBackupDir.empty()) {
        if (o.mode || !o.directories.empty()) fail("--show-backup takes one directory and no mode");
        return o;
    }
    if (o.error.empty()) {
        if (!o.mode)
            fail("a mode is needed: -C, -P or -R");
        else if (o.directories.empty())
            fail("no directory given");
    }
    return o;
}

std::string CliUsage() {
    return "Usage: kestrow-cli -C|-P|-R [options] DIRECTORY...\n"
           "       kestrow-cli --show-backup DIRECTORY\n"
           "\n"
           "Checks directories of music releases and, recursively, their subdirectories.\n"
           "\n"
           "Modes:\n"
           "  -C                 check and tag: verify the SFV lists and playlists\n"
           "  -P                 check/prepare: the same checks, then the planned renames\n"
           "  -R                 restore: give prepared directories their original names back\n"
           "\n"
           "Options:\n"
           "  --settings FILE    read the options from FILE (it is never written)\n"
           "  --yes              answer every question with Yes and accept planned changes\n"
           "  --no               answer every question with No and refuse planned changes\n"
           "  --color=WHEN       colour the log: auto (default), always or never; NO_COLOR is honoured\n"
           "  --progress         show the directory, files and bytes checked and the speed on the\n"
           "                     terminal (standard error)\n"
           "  --show-backup DIR  print where DIR keeps its backup data and every stored name\n"
           "                     (name on disk, original name, operation number)\n"
           "  --help             show this text\n"
           "  --version          show the version\n"
           "\n"
           "Without --yes or --no, questions are asked on the terminal; when standard input is not\n"
           "a terminal they take their silent answer, or the refusing one.\n"
           "\n"
           "Exit status: 0 all directories processed and every listed file present and intact;\n"
           "1 missing or corrupt files, a refused or aborted directory, or a failed operation;\n"
           "2 bad usage or a directory that could not be read.\n";
}

}  // namespace kestrow
