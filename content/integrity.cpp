// File CRCs streamed through a fixed buffer, and the integrity check of a directory.
#include "content/integrity.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "content/crc32.h"
#include "content/existingtagline.h"
#include "content/listeddir.h"
#include "content/listentry.h"
#include "content/reporter.h"
#include "content/taglineformat.h"
#include "platform/text.h"

namespace kestrow {

namespace {

// A listed name is looked for among the directory's own files (exact spelling first, then
// without regard to case). An entry with a directory part names a file elsewhere, never here.
// Names that fold alike share their extension and so their class: the look-up in the name's
// own class sees every candidate.
const FileEntry* FindListedFile(const DirContents& dir, const ListEntry& entry) {
    if (entry.HasDir()) return nullptr;
    return dir.GetFile(entry.Text());
}

std::string_view StripLeadingZeros(std::string_view s) {
    auto first = s.find_first_not_of('0');
    return first == std::string_view::npos ? std::string_view() : s.substr(first);
}

std::string PathOnDisk(const DirContents& dir, std::string_view name) {
    const FileEntry* scanned = dir.GetFile(name);
    return dir.DirPath() + (scanned ? scanned->path.FileName() : std::string(name));
}

bool Contains(const std::vector<std::string>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return platform::IEquals(n, name); });
}

}  // namespace

platform::Status FileCrc32(const std::string& path, std::uint32_t& crc) {
    crc = 0;
    platform::InputFile in;
    if (platform::Status s = in.open(path); !s) return s;
    // Small files need no more buffer than their size; the file is still read to its real end.
    std::size_t bufferSize = kCrcBufferSize;
    if (in.size() < bufferSize)
        bufferSize = std::max<std::size_t>(static_cast<std::size_t>(in.size()) + 1, 4096);
    auto buffer = std::make_unique_for_overwrite<unsigned char[]>(bufferSize);
    std::uint32_t c = 0;
    for (;;) {
        long long n = in.read(buffer.get(), bufferSize);
        if (n < 0) return platform::Status{in.lastError()};
        if (n == 0) break;
        c = Crc32(c, buffer.get(), static_cast<std::size_t>(n));
    }
    crc = c;
    return {};
}

std::string CrcText(std::uint32_t crc) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(crc));
    return text;
}

bool CrcTextsEqual(std::string_view a, std::string_view b) {
    return platform::IEquals(StripLeadingZeros(a), StripLeadingZeros(b));
}

std::optional<std::string> FileCrcText(const DirContents& dir, std::string_view name) {
    // A name with a folder part names a file elsewhere, as it does in the check.
    if (ListEntry(name).HasDir()) return std::nullopt;
    std::uint32_t crc = 0;
    if (!FileCrc32(PathOnDisk(dir, name), crc)) return std::nullopt;
    return CrcText(crc);
}

int VerifyFile(const DirContents& dir, std::string_view name, std::string_view listedCrc,
               std::string* computed) {
    std::optional<std::string> text = FileCrcText(dir, name);
    if (!text) return -1;
    if (computed) *computed = *text;
    return CrcTextsEqual(listedCrc, *text) ? 1 : 0;
}

int CheckIntegrity(ListedDir& dir, unsigned flags, bool reload, Reporter& reporter,
                   platform::Questioner* questioner, const KnownCrc* known) {
    using namespace AnalysisCode;
    if (reload) dir.LoadLists(questioner);

    IntegrityResult& result = dir.integrity;
    result.listedCount = result.okCount = result.corruptCount = result.missingCount = 0;
    result.mismatch = false;
    dir.problemLines.clear();
    dir.generatePlaylist = false;
    const std::string dirPath = dir.DirPath();
    const bool verifyCrc = (flags & IntegrityFlag::PrepareCRCCheck) != 0;

    // A tagline shipped with a download must not vouch for its files: only an explicit request
    // to trust existing taglines consults them.
    bool trusted = false;
    std::vector<std::string> trustedProblems;
    if (flags & IntegrityFlag::PrepareTaglineTrustExisting) {
        trusted = ReadExistingTagline(dir, &trustedProblems, questioner);
    }

    const bool hasSfv = !dir.sfvLists.empty();
    const bool hasM3u = !dir.m3uLists.empty();
    const bool hasBackupFile = dir.backupFile.has_value() || dir.GetFile(kBackupFileName) != nullptr;
    if (!hasSfv && hasM3u) {
        reporter.Report(NoSfv, dirPath);
    } else if (hasSfv && !hasM3u) {
        reporter.Report(NoM3u, dirPath);
        if (flags & IntegrityFlag::PrepareGenerateM3U) dir.generatePlaylist = true;
    } else if (!hasSfv && !hasM3u) {
        reporter.Report(NoLists, dirPath);
        if (!hasBackupFile) {
            reporter.Report(NoBackupData, dirPath);
            return kNothingToCheck;
        }
    }

    bool backupDataPresent = false;
    auto reportBackupData = [&](const std::vector<std::string>& comments, const std::string& fileName) {
        for (const std::string& comment : comments) {
            if (comment.find("[V100") != std::string::npos) {
                backupDataPresent = true;
                reporter.Report(BackupDataPresent, fileName);
            }
        }
    };
    if (dir.backupFile) reportBackupData(dir.backupFile->Comments(), std::string(kBackupFileName));

    // A directory of discs needs no NFO of its own; one without subdirectories is asked about.
    if (!dir.Has(FileClass::Nfo)) {
        if (!dir.Has(FileClass::Subdir)) {
            if (reporter.Report(NoNfoAsk, dirPath) == AnswerValue(AnalysisAnswer::Stop)) return kCheckStopped;
        } else {
            reporter.Report(NoNfo, dirPath);
        }
    }

    // A list that cannot be read is a finding, never an empty list: the directory is not
    // vouched for, and it is not prepared, since that list could not be updated.
    bool unreadableList = false;
    auto reportUnreadable = [&](const ListFile& list) {
        unreadableList = true;
        reporter.Report(ListUnreadable, list.FileName(), {}, list.LoadError());
    };

    unsigned sfvMissing = 0;
    for (const SfvList& list : dir.sfvLists) {
        const std::string listName = list.FileName();
        reporter.Report(AnalyzingContents, listName);
        if (!list.Loaded()) {
            reportUnreadable(list);
            continue;
        }
        reportBackupData(list.Comments(), listName);
        // The "<N>" prefix only keeps the line's place in the file; the user sees the line itself.
        for (const std::string& line : list.InvalidLines())
            reporter.Report(SyntaxError, listName, {}, std::string(WithoutPrefix(line)));

        unsigned listMissing = 0;
        for (const ListEntry& entry : list.Entries()) {
            const std::string& name = entry.Text();
            const std::string& listedCrc = entry.Crc();
            ++result.listedCount;
            const FileEntry* file = FindListedFile(dir, entry);
            if (!file) {
                ++result.missingCount;
                ++listMissing;
                dir.problemLines.push_back(std::string(kMissingLine) + name + "\r\n");
                reporter.Report(ListedFileMissing, listName, listedCrc, name);
                continue;
            }
            if (trusted) {
                ++result.okCount;
                reporter.Report(CrcChecking, listName, listedCrc, name);
                reporter.Report(SkippedTrusted, listName, listedCrc, name);
                continue;
            }
            if (!verifyCrc) continue;
            reporter.Report(CrcChecking, listName, listedCrc, name);
            if (!trustedProblems.empty() && !Contains(trustedProblems, name)) {
                ++result.okCount;
                reporter.Report(SkippedTrusted, listName, listedCrc, name);
                continue;
            }
            const std::string path = dirPath + file->path.FileName();
            std::uint32_t crc = 0;
            bool gaveUp = false;
            const std::optional<std::uint32_t> knownCrc = known ? (*known)(path) : std::nullopt;
            if (knownCrc) crc = *knownCrc;
            while (!knownCrc && !FileCrc32(path, crc)) {
                if (reporter.Report(OpenError, listName, listedCrc, name) !=
                    AnswerValue(AnalysisAnswer::Retry)) {
                    gaveUp = true;
                    break;
                }
            }
            if (gaveUp) {
                ++result.missingCount;
            } else if (CrcTextsEqual(listedCrc, CrcText(crc))) {
                ++result.okCount;
                reporter.Report(CrcOk, listName, listedCrc, name);
            } else {
                ++result.corruptCount;
                dir.problemLines.push_back(std::string(kCorruptLine) + name + "\r\n");
                reporter.Report(BadCrc, listName, listedCrc, name);
            }
        }
        sfvMissing += listMissing;
        if (listMissing > 0) {
            dir.generatePlaylist = false;
            if (reporter.Report(FilesMissingAsk, listName) == AnswerValue(AnalysisAnswer::Stop))
                return kCheckStopped;
        }
    }

    unsigned m3uMissing = 0;
    for (const M3uList& list : dir.m3uLists) {
        const std::string listName = list.FileName();
        reporter.Report(AnalyzingContents, listName);
        if (!list.Loaded()) {
            reportUnreadable(list);
            continue;
        }
        reportBackupData(list.Comments(), listName);
        unsigned listMissing = 0;
        for (const ListEntry& entry : list.Entries()) {
            const std::string& name = entry.Text();
            const FileEntry* file = FindListedFile(dir, entry);
            if (!file) {
                ++listMissing;
                reporter.Report(ListedFileMissing, listName, {}, name);
                continue;
            }
            // Playlist entries are only proved readable; their CRC is not computed.
            const std::string path = dirPath + file->path.FileName();
            platform::InputFile in;
            while (!in.open(path)) {
                if (reporter.Report(OpenError, listName, {}, name) != AnswerValue(AnalysisAnswer::Retry))
                    break;
            }
        }
        m3uMissing += listMissing;
        if (listMissing > 0) {
            if (reporter.Report(FilesMissingAsk, listName) == AnswerValue(AnalysisAnswer::Stop))
                return kCheckStopped;
        } else {
            reporter.Report(IntegrityOk, listName);
        }
    }

    result.mismatch = sfvMissing != m3uMissing;

    if (dir.generatePlaylist && dir.Has(FileClass::Mp3) && hasSfv) {
        const PathName& sfv = dir.sfvLists.front().File();
        M3uList planned(PathName(sfv.DirPath() + sfv.Title() + ".m3u", false));
        // Each track under its real name, so the playlist also matches on a case-sensitive disk.
        for (const FileEntry& mp3 : dir.List(FileClass::Mp3))
            planned.AddEntry(mp3.path.FileName(), planned.EntryCount());
        dir.m3uLists.push_back(std::move(planned));
        ++dir.m3uListCount;
        result.listingCurrent = false;
    }

    return backupDataPresent || unreadableList ? kCheckStopped : kChecked;
}

}  // namespace kestrow
