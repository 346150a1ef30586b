// The console program's command line: a mode, one or more directories and the options.
#pragma once

#include <string>
#include <vector>

namespace kestrow {

enum class ColourChoice { Auto, Always, Never };
// How questions are answered: on the terminal when there is one, or all alike.
enum class AnswerPolicy { Ask, Yes, No };

struct CliOptions {
    char mode = 0;  // 'C', 'P' or 'R'
    std::vector<std::string> directories;
    std::string settingsFile;
    AnswerPolicy answers = AnswerPolicy::Ask;
    ColourChoice colour = ColourChoice::Auto;
    bool progress = false;
    bool help = false;
    bool version = false;
    // --show-backup DIR: print the directory's backup data instead of running a pass.
    std::string showBackupDir;
    // Set when the command line cannot be used; the program then exits with status 2.
    std::string error;
};

// Arguments after the program name.
CliOptions ParseCliArguments(const std::vector<std::string>& args);

std::string CliUsage();

}  // namespace kestrow
