// Keeping a directory's backup data in its own files: as comment lines of an SFV list or a
// playlist, or in "_kestrow.backup"; choosing the place, writing the lists back, and reading the
// backup file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "backup/backupdata.h"
#include "content/listeddir.h"
#include "content/reporter.h"
#include "platform/fs.h"
#include "platform/question.h"

namespace kestrow {

// Characters of encoded text per stored line.
inline constexpr std::size_t kBackupLineLength = 80;

// The stored block without comment prefixes: four header lines, the encoded text cut into lines
// of 80 characters, and an empty closing line. Empty for an empty encoded text.
std::vector<std::string> BackupBlockLines(std::string_view encoded);

// Whether the block lines of `encoded`, written behind `prefix` and read back by the list parser,
// give back exactly `encoded` when the finder joins them.
bool BlockReadsBack(std::string_view encoded, char prefix);

// Encodes the record text and checks the result before anything is stored: every record name is
// one the format holds faithfully, the text is the one those records produce, the encoded text
// decodes to the same records, and its stored lines read back to the same text. An empty record
// text passes with nothing to store.
bool EncodeVerified(BackupData& data);

// The list writer. A list is written whole, through a temporary file renamed over the old one:
// block lines added since loading first, then the list's own lines in the order they were read
// (comment and invalid lines at their recorded places among the entries, the entries in list
// order, entries beyond the recorded ones last), each ended by CR LF. A list is not written when
// its file is read-only, when it exists but was never read, or when it holds a line longer than
// the line reader takes in one piece (that line would come back as two).
platform::Status WriteSfvList(const SfvList& list);
platform::Status WriteM3uList(const M3uList& list);
// Whether those writers would write the list now, without writing it: the same checks.
platform::Status CanWriteList(const ListFile& list);
platform::Status WriteBackupFile(const BackupFile& file);
// The same writers with a stored block in front of the list's own lines, as store() writes it.
platform::Status WriteSfvListWithBlock(const SfvList& list, std::string_view encoded);
platform::Status WriteM3uListWithBlock(const M3uList& list, std::string_view encoded);

class BackupStore {
public:
    BackupStore(ListedDir& dir, BackupData& data) : m_dir(dir), m_data(data) {}

    // Stores the encoded text as a block of the given kind: in the list `listIndex`, or with -1
    // in the first list of that kind that can be written. Returns the name of the file written,
    // or an empty name. A list that could not be written keeps nothing of the block.
    std::string store(BackupSource kind, int listIndex = -1);

    // For the prepare apply, before any rename. `prepareBackupTo`: 0 SFV, 1 M3U, 2
    // "_kestrow.backup" first, then the fallbacks. Returns 1 stored (StoredIn() names the file),
    // 0 nothing to store (empty record text), -1 the backup data could not be built faithfully,
    // -2 no place took it, or the directory holds a "_kestrow.backup" without a readable block
    // (reported; nothing in the directory was changed).
    int chooseAndStore(int prepareBackupTo, Reporter& changeReporter);

    // For the restore apply, with the records left unresolved as the record text. Returns 1
    // stored back where the block was found; 2 nothing left and the block was in
    // "_kestrow.backup", which the caller deletes; 3 nothing left and the block was in a list,
    // whose next write leaves it out; 0 nothing left and nothing was found; -1 the backup data
    // could not be built; -2 it could not be stored back (reported). Records of a directory where
    // no block was found go where `prepareBackupTo` says.
    int restoreStore(int prepareBackupTo, Reporter& changeReporter);

    const std::string& StoredIn() const { return m_storedIn; }

    // Reads "_kestrow.backup" when the directory's listing holds it; otherwise the directory has
    // no backup-file list. A file that cannot be read gives an empty list.
    static void loadBackupFile(ListedDir& dir, platform::Questioner* questioner = nullptr);
    // Points every list of the directory at its file inside `newDirPath` (the directory was
    // renamed).
    static void rebase(ListedDir& dir, std::string_view newDirPath);

private:
    int storeInOrder(const std::vector<BackupSource>& order, int firstIndex, Reporter& reporter);
    std::string storeInList(BackupSource kind, int listIndex);
    std::string storeInBackupFile();

    ListedDir& m_dir;
    BackupData& m_data;
    std::string m_storedIn;
};

}  // namespace kestrow
