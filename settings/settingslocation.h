// Where the settings file lives: an explicit file, a portable "Settings" folder beside the
// program, or the user's configuration folder; plus the defaults shipped with the program.
#pragma once

#include <string>
#include <vector>

namespace kestrow {

// Everything the choice depends on, gathered from the process so the choice itself is testable.
struct SettingsPlaces {
    std::string explicitFile;   // --settings FILE
    std::string exeDir;         // folder of the program file
    std::string xdgConfigHome;  // $XDG_CONFIG_HOME
    std::string home;           // $HOME
    // Candidates for the shipped defaults, most preferred first.
    std::vector<std::string> defaultsCandidates;
};

struct SettingsLocation {
    // The user's settings file, read at start and written at shutdown ("" when no place was found).
    std::string file;
    // Folder created (with its parents) before the file is first written; "" when the file's
    // folder must already exist.
    std::string folderToCreate;
    // The first existing defaults file, read when the user's file does not exist; "" when none.
    std::string defaultsFile;
};

SettingsLocation LocateSettings(const SettingsPlaces& places);

// The places of this process: the program's folder from /proc/self/exe, the environment, and the
// defaults in the data folder found from the program's folder ("<exe dir>/../share/kestrow/
// kestrow.ini" in the usual layout, installed or in the build tree).
SettingsPlaces CurrentSettingsPlaces(const std::string& explicitFile);

}  // namespace kestrow
