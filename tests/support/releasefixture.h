// Release folders for the end-to-end tests: tracks with their lists, the settings file of a run,
// and whole trees compared before and after.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "content/crc32.h"
#include "content/integrity.h"
#include "platform/fs.h"
#include "tests/support/clirun.h"
#include "tests/support/golden.h"
#include "tests/support/tempdir.h"

namespace kestrow::test {

inline std::string CrcOf(const std::string& bytes) {
    return CrcText(Crc32(0, bytes.data(), bytes.size()));
}

// A release whose two listed tracks are intact, with its NFO and both lists; gives "dir/".
inline std::string WriteIntactRelease(const std::string& dir) {
    WriteFile(dir + "/01-track.mp3", "first track bytes");
    WriteFile(dir + "/02-track.mp3", "second track bytes");
    WriteFile(dir + "/release.nfo", "info");
    WriteFile(dir + "/release.sfv", "; comment\r\n01-track.mp3 " + CrcOf("first track bytes") +
                                        "\r\n02-track.mp3 " + CrcOf("second track bytes") + "\r\n");
    WriteFile(dir + "/release.m3u", "01-track.mp3\r\n02-track.mp3\r\n");
    return dir + "/";
}

struct Track {
    std::string name;
    std::string bytes;
};

// The tracks, and an SFV list and a playlist "<list>.sfv"/"<list>.m3u" naming them.
inline void WriteRelease(const std::string& dir, const std::vector<Track>& tracks,
                         const std::string& list = "album", bool sfv = true, bool m3u = true) {
    MakeDirs(dir);
    std::string sfvText = "; made for the test\r\n", m3uText = "#EXTM3U\r\n";
    for (const Track& t : tracks) {
        WriteFile(dir + "/" + t.name, t.bytes);
        sfvText += t.name + " " + CrcOf(t.bytes) + "\r\n";
        m3uText += t.name + "\r\n";
    }
    if (sfv) WriteFile(dir + "/" + list + ".sfv", sfvText);
    if (m3u) WriteFile(dir + "/" + list + ".m3u", m3uText);
}

inline std::set<std::string> Names(const std::string& folder) {
    std::vector<platform::DirEntry> entries;
    platform::ListDirectory(folder, entries);
    std::set<std::string> names;
    for (const auto& e : entries) names.insert(e.name);
    return names;
}

// Every folder and file under `root` with its bytes ("/" for a folder). Temporary files of a
// killed write are left out when `skipTemp` is set.
using TreeMap = std::map<std::string, std::string>;
inline TreeMap Tree(const std::string& root, bool skipTemp = false) {
    TreeMap tree;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        const std::string rel = std::filesystem::relative(e.path(), root).string();
        if (skipTemp && rel.find(".kestrow-") != std::string::npos) continue;
        tree[rel] = e.is_directory() ? "/" : ReadFile(e.path().string());
    }
    return tree;
}

// The paths that differ between two trees, empty when they are the same.
inline std::string Diff(const TreeMap& a, const TreeMap& b) {
    std::string out;
    for (const auto& [path, bytes] : a) {
        auto it = b.find(path);
        if (it == b.end())
            out += "only before: " + path + "\n";
        else if (it->second != bytes)
            out += "changed: " + path + "\n";
    }
    for (const auto& [path, bytes] : b) {
        if (!a.count(path)) out += "only after: " + path + "\n";
    }
    return out;
}

// Runs of kestrow-cli on releases under tmp/lib with a settings file built from `settings` and
// special-file `rules`.
class CliFixture : public ::testing::Test {
protected:
    CliFixture() { MakeDirs(tmp / "lib"); }

    std::string WriteSettings() {
        std::string ini = "[GENERAL]\r\n";
        for (const auto& [k, v] : settings) ini += k + "=" + v + "\r\n";
        for (std::size_t i = 0; i < rules.size(); ++i)
            ini += "TempFile" + std::to_string(i + 1) + "=" + rules[i] + "\r\n";
        ini += "[GTAGS]\r\nGRP=GRP\r\n";
        WriteFile(tmp / "settings.ini", ini);
        return tmp / "settings.ini";
    }
    CliResult Cli(const std::string& args, const std::string& env = "") {
        return RunCli(tmp, "--color=never --settings " + Quote(WriteSettings()) + " " + args, env);
    }
    std::string Lib(const std::string& relative) const { return tmp / ("lib/" + relative); }
#ifdef KESTROW_KILLSHIM
    // Runs with the kill shim, which kills the program (SIGKILL) before its operation number `at`;
    // true when it was killed, false when it finished first.
    bool KilledAt(int at, const std::string& args) {
        const CliResult r =
            Cli(args, "LD_PRELOAD=" + Quote(KESTROW_KILLSHIM) + " KESTROW_KILL_AT=" + std::to_string(at));
        EXPECT_TRUE(r.status == 0 || r.status == 1 || r.status == 128 + SIGKILL)
            << r.status << r.out << r.err;
        return r.status == 128 + SIGKILL;
    }
#endif

    TempDir tmp;
    std::map<std::string, std::string> settings;
    std::vector<std::string> rules;
};

}  // namespace kestrow::test
