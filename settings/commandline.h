// The command line's unattended run: a mode ("-C", "-P", "-R") and a directory, which select the
// operation and the one directory to process; and the settings file given with --settings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/processoptions.h"

namespace kestrow {

struct CommandLine {
    std::string settingsFile;  // --settings FILE or --settings=FILE; "" when not given
    char mode = 0;             // 'C', 'P' or 'R'; 0 when not given
    std::string directory;     // quotes removed, "/" appended; "" when not given
};

// Reads the arguments after the program name. A later mode or directory replaces an earlier one;
// anything else is ignored.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// A directory to process on its own: its absolute path (ending in "/"), the folder that holds it
// (also ending in "/") and its name. The name is empty for the root folder.
struct RunDirectory {
    std::string directory;
    std::string parent;
    std::string name;
};

// Makes the directory absolute against cwd and drops empty and "." components.
RunDirectory SplitRunDirectory(std::string_view directory, std::string_view cwd);

struct UnattendedRun {
    bool active = false;  // both a mode and a directory were given
    RunDirectory where;
};

// When both a mode and a directory were given: lastProcessOption becomes 0 for "R", 1 for "P",
// 2 for "C", and lastDir the directory. Otherwise nothing changes and no run is asked for.
UnattendedRun ApplyCommandLine(const CommandLine& line, std::string_view cwd, ProcessOptions& options);

}  // namespace kestrow
