// Choice of the settings file and of the shipped defaults.
#include "settings/settingslocation.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/fs.h"

namespace kestrow {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string Join(const std::string& dir, const std::string& rest) {
    if (dir.empty() || dir.back() == '/') return dir + rest;
    return dir + "/" + rest;
}

}  // namespace

SettingsLocation LocateSettings(const SettingsPlaces& places) {
    SettingsLocation where;
    std::string portable = places.exeDir.empty() ? std::string() : Join(places.exeDir, "Settings");
    if (!places.explicitFile.empty()) {
        where.file = places.explicitFile;
    } else if (!portable.empty() && platform::Stat(portable) == platform::PathKind::Directory) {
        where.file = Join(portable, "kestrow.ini");
    } else {
        // A relative $XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules say.
        std::string config = places.xdgConfigHome;
        if (config.empty() || config.front() != '/') {
            config = places.home.empty() ? std::string() : Join(places.home, ".config");
        }
        if (!config.empty()) {
            where.folderToCreate = Join(config, "kestrow");
            where.file = Join(where.folderToCreate, "kestrow.ini");
        }
    }
    for (const std::string& candidate : places.defaultsCandidates) {
        if (!candidate.empty() && platform::Stat(candidate) == platform::PathKind::File) {
            where.defaultsFile = candidate;
            break;
        }
    }
    return where;
}

SettingsPlaces CurrentSettingsPlaces(const std::string& explicitFile) {
    SettingsPlaces places;
    places.explicitFile = explicitFile;
    std::string exe(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", exe.data(), exe.size());
    if (n > 0 && static_cast<std::size_t>(n) < exe.size()) {
        exe.resize(static_cast<std::size_t>(n));
        std::size_t slash = exe.find_last_of('/');
        places.exeDir = slash == 0 ? std::string("/") : exe.substr(0, slash);
    }
    places.xdgConfigHome = Env("XDG_CONFIG_HOME");
    places.home = Env("HOME");
    if (places.home.empty()) {
        // A session without $HOME (a service, a cron job) still has a home in the password file.
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) places.home = pw->pw_dir;
    }
    if (!places.exeDir.empty())
        places.defaultsCandidates.push_back(Join(places.exeDir, KESTROW_DATA_FROM_BIN "/kestrow.ini"));
    return places;
}

}  // namespace kestrow
