// A scanned directory together with its parsed SFV lists, playlists and backup file, and the
// results of its integrity check.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/backupfile.h"
#include "content/dircontents.h"
#include "content/integrity.h"
#include "content/m3ulist.h"
#include "content/sfvlist.h"
#include "platform/question.h"

namespace kestrow {

inline constexpr std::string_view kBackupFileName = "_kestrow.backup";

class ListedDir : public DirContents {
public:
    ListedDir() = default;
    explicit ListedDir(std::string_view dirPath) : DirContents(dirPath) {}

    // Scans the directory and parses every SFV list, playlist and "_kestrow.backup" anew: the
    // lists are rebuilt from the fresh scan. A list that cannot be read stays, empty and
    // unloaded; the check reports it. The integrity results are kept (the tagline step reloads
    // after the check and still needs them). False when the directory cannot be listed.
    bool LoadLists(platform::Questioner* questioner = nullptr);

    std::vector<SfvList> sfvLists;  // in the order of the SFV class
    std::vector<M3uList> m3uLists;  // in the order of the M3U class, then a planned playlist
    std::optional<BackupFile> backupFile;
    unsigned sfvListCount = 0;
    unsigned m3uListCount = 0;

    // "Missing: " / "Corrupt: " + entry name + CR LF, in the order found.
    std::vector<std::string> problemLines;
    // The scanned parent directory (not owned); the tagline step puts its markers there.
    DirContents* parent = nullptr;
    IntegrityResult integrity;
    // A playlist is to be generated for this directory (planned by the check, written on apply).
    bool generatePlaylist = false;
    // The directory's name before this pass renamed it (empty when it kept its name): the markers
    // under that name in the parent are removed when the new ones are written.
    std::string formerName;
};

}  // namespace kestrow
