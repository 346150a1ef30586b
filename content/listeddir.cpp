// Loading a directory's list files after a fresh scan.
#include "content/listeddir.h"

namespace kestrow {

bool ListedDir::LoadLists(platform::Questioner* questioner) {
    bool scanned = Scan();
    sfvLists.clear();
    m3uLists.clear();
    backupFile.reset();
    for (const FileEntry& f : List(FileClass::Sfv)) sfvLists.emplace_back(f);
    for (const FileEntry& f : List(FileClass::M3u)) m3uLists.emplace_back(f);
    sfvListCount = static_cast<unsigned>(sfvLists.size());
    m3uListCount = static_cast<unsigned>(m3uLists.size());
    for (SfvList& list : sfvLists) list.Load(nullptr, questioner);
    for (M3uList& list : m3uLists) list.Load(nullptr, questioner);
    if (const FileEntry* backup = GetFile(kBackupFileName)) {
        backupFile.emplace(*backup);
        backupFile->Load(nullptr, questioner);
    }
    integrity.listingCurrent = true;
    return scanned;
}

}  // namespace kestrow
