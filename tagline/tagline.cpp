// Writing taglines and parent markers after a check.
#include "tagline/tagline.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "content/existingtagline.h"
#include "content/listeddir.h"
#include "content/reporter.h"
#include "content/taglineformat.h"
#include "platform/bytesize.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "tagline/mp3info.h"

namespace kestrow {

namespace {

bool IsUnsafeChar(unsigned char c) {
    if (c < 0x20 || c == 0x7F) return true;
    switch (c) {
        case '/':
        case '\\':
        case ':':
        case '*':
        case '?':
        case '"':
        case '<':
        case '>':
        case '|':
            return true;
        default:
            return false;
    }
}

// Drops the last character (never half of one).
void DropLastChar(std::string& s) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < s.size(); i += platform::CharLength(s, i)) last = i;
    s.resize(last);
}

std::string SizeText(std::uint64_t bytes) {
    std::string out;
    for (char c : platform::FormatByteSize(bytes)) {
        if (c == '.')
            out.push_back(',');
        else if (c != ' ')
            out.push_back(c);
    }
    return out;
}

std::string Assemble(const std::string& prefix, const IntegrityResult& r, const std::string& size,
                     const std::string* mp3Part) {
    std::string name = prefix;
    name += kTaglineOpen;
    if (r.okCount == r.listedCount) {
        name.append(kTaglineOk).append(std::to_string(r.okCount)).append("_");
    } else if (r.corruptCount > 0) {
        name.append(kTaglineCorrupt).append(std::to_string(r.corruptCount));
        name.append("_of_").append(std::to_string(r.listedCount)).append("_");
    } else {
        name.append(kTaglineIncomplete).append(std::to_string(r.okCount));
        name.append("_of_").append(std::to_string(r.listedCount)).append("_");
    }
    name += r.listedCount > 1 ? "Files" : "File";
    if (!size.empty()) name += "-" + size;
    if (mp3Part) name.append("]").append(kTaglineOpen).append(*mp3Part);
    name.append(kTaglineClose).append(prefix);
    return name;
}

class TaglineWriter {
public:
    TaglineWriter(ListedDir& dir, Reporter& reporter) : m_dir(dir), m_reporter(reporter) {}

    void WriteOwnTagline(const std::string& prefix, TaglinePieces pieces);
    void UpdateStatusMarkers();
    void UpdateListMarkers();
    void RemoveFormerMarkers();

private:
    const FileEntry* FindOldTagline();
    // Creates an empty marker in the parent; false when it could not be made.
    bool CreateMarker(const std::string& name);
    // Deletes the parent's marker when the parent's listing has it; true when it had it.
    bool DeleteMarker(const std::string& name);
    void DeleteWithRetry(const std::string& path);
    std::string MarkerName(std::string_view suffix) const {
        return m_dir.Path().LastComponent() + std::string(suffix);
    }
    std::string MarkerPath(const std::string& name) const { return m_dir.parent->DirPath() + name; }

    ListedDir& m_dir;
    Reporter& m_reporter;
};

// Only a file an earlier check wrote is taken: an empty track, NFO or note of the release is
// never turned into the tagline.
const FileEntry* TaglineWriter::FindOldTagline() {
    for (bool more = m_dir.FirstFile(); more; more = m_dir.NextFile()) {
        if (IsOldTagline(m_dir, m_dir.CurrentFile())) return &m_dir.CurrentFile();
    }
    return nullptr;
}

void TaglineWriter::WriteOwnTagline(const std::string& prefix, TaglinePieces pieces) {
    const IntegrityResult& r = m_dir.integrity;
    Mp3Info info;
    const Mp3Info* mp3 = nullptr;
    if (m_dir.Has(FileClass::Mp3)) {
        // The real name on disk, read after the reload: a rename earlier in the pass is seen.
        info.Read(m_dir.DirPath() + m_dir.List(FileClass::Mp3).front().path.FileName());
        mp3 = &info;
    }
    const FileEntry* old = FindOldTagline();
    std::string oldName = old ? old->path.FileName() : std::string();
    std::uint64_t oldSize = old ? old->size : 0;
    // The old problem tagline's own text is no part of the release's size.
    std::uint64_t size = m_dir.TotalSize() - std::min(oldSize, m_dir.TotalSize());
    std::string name = TaglineName(prefix, r, size, mp3, pieces);
    std::string path = m_dir.DirPath() + name;

    bool placed = false;
    if (old) {
        std::string oldPath = m_dir.DirPath() + oldName;
        for (;;) {
            if (platform::MoveNoReplace(oldPath, path)) {
                placed = true;
                break;
            }
            if (m_reporter.Report(ChangeCode::CouldNotRenameFile, oldPath) == AnswerValue(ChangeAnswer::Stop))
                break;
        }
    }
    bool problem = r.corruptCount > 0 || r.missingCount > 0 || r.okCount < r.listedCount;
    if (placed) {
        if (oldSize > 0 && !problem) platform::WriteFileAtomic(path, "");
    } else {
        platform::Status made = platform::CreateEmptyFile(path);
        if (!made && made.error == EEXIST) made = platform::WriteFileAtomic(path, "");
        if (!made) {
            m_reporter.Report(ChangeCode::CouldNotCreateTagline, m_dir.DirPath());
            return;
        }
    }
    m_reporter.Report(ChangeCode::WroteTagline, name);
    if (problem) {
        std::string content;
        for (const std::string& line : m_dir.problemLines) content += line;
        std::string current;
        if (!platform::ReadWholeFile(path, current) || current != content)
            platform::WriteFileAtomic(path, content);
    }
}

void TaglineWriter::DeleteWithRetry(const std::string& path) {
    for (;;) {
        platform::Status st = platform::DeleteFile(path);
        if (st || st.error == ENOENT) return;
        if (m_reporter.Report(ChangeCode::CouldNotDeleteFile, path) == AnswerValue(ChangeAnswer::Stop))
            return;
    }
}

bool TaglineWriter::DeleteMarker(const std::string& name) {
    const FileEntry* found = m_dir.parent->GetFile(name);
    if (!found) return false;
    DeleteWithRetry(MarkerPath(found->path.FileName()));
    m_dir.parent->ListingChanged();
    return true;
}

bool TaglineWriter::CreateMarker(const std::string& name) {
    DirContents& parent = *m_dir.parent;
    const FileEntry* existing = parent.GetFile(name);
    if (existing && existing->path.FileName() == name && existing->size == 0 &&
        platform::Stat(MarkerPath(name)) == platform::PathKind::File) {
        return true;  // already there
    }
    platform::Status made = platform::CreateEmptyFile(MarkerPath(name));
    if (!made && made.error == EEXIST) {
        // Rewritten in place: the listing may still hold the old size.
        made = platform::WriteFileAtomic(MarkerPath(name), "");
        parent.ListingChanged();
    }
    if (!made) return false;
    if (!existing || existing->path.FileName() != name) parent.AddFile(name, 0);
    return true;
}

void TaglineWriter::UpdateStatusMarkers() {
    if (!m_dir.parent) return;
    const IntegrityResult& r = m_dir.integrity;
    DirContents& parent = *m_dir.parent;
    std::string corrupt = MarkerName(kCorruptSuffix);
    std::string incomplete = MarkerName(kIncompleteSuffix);
    if (parent.GetFile(corrupt)) {
        if (r.corruptCount == 0 && m_dir.Has(FileClass::Nfo)) DeleteMarker(corrupt);
        parent.Scan();
    }
    if (parent.GetFile(incomplete)) {
        if (r.okCount == r.listedCount) DeleteMarker(incomplete);
        parent.Scan();
    }
    std::string wanted;
    if (r.corruptCount > 0 && r.okCount < r.listedCount)
        wanted = corrupt;
    else if (r.missingCount > 0 || r.okCount < r.listedCount)
        wanted = incomplete;
    if (!wanted.empty() && !CreateMarker(wanted))
        m_reporter.Report(ChangeCode::CouldNotCreateTagline, MarkerPath(wanted));
}

void TaglineWriter::UpdateListMarkers() {
    if (!m_dir.parent) return;
    const IntegrityResult& r = m_dir.integrity;
    bool leaf = m_dir.SubdirCount() == 0;
    bool hasSfv = m_dir.Has(FileClass::Sfv);
    bool hasNfo = m_dir.Has(FileClass::Nfo);
    bool hasM3u = m_dir.Has(FileClass::M3u);
    const std::array<std::pair<std::string_view, bool>, 4> markers = {{
        {kNoSfvSuffix, !hasSfv && leaf},
        {kNoNfoSuffix, !hasNfo && leaf},
        {kNoM3uSuffix, !hasM3u && hasSfv && hasNfo && m_dir.Has(FileClass::Mp3) && leaf},
        {kMismatchSuffix, r.mismatch && hasM3u && hasSfv},
    }};
    for (const auto& [suffix, wanted] : markers) {
        std::string name = MarkerName(suffix);
        if (!wanted) {
            DeleteMarker(name);
        } else if (CreateMarker(name)) {
            m_reporter.Report(ChangeCode::WroteTagline, name);
        } else {
            m_reporter.Report(ChangeCode::CouldNotCreateTagline, MarkerPath(name));
        }
    }
}

void TaglineWriter::RemoveFormerMarkers() {
    const std::string& former = m_dir.formerName;
    if (!m_dir.parent || former.empty() || former == m_dir.Path().LastComponent()) return;
    for (std::string_view suffix : kMarkerSuffixes) {
        const std::string name = former + std::string(suffix);
        // Only the exact old name: a case-blind match may be the marker just written.
        const FileEntry* found = m_dir.parent->GetFile(name);
        if (found && found->size == 0 && found->path.FileName() == name) DeleteWithRetry(MarkerPath(name));
    }
}

}  // namespace

std::string TaglineField(std::string_view text) {
    std::string out;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size() && chars < kTaglineFieldMaxChars; ++chars) {
        std::size_t len = platform::CharLength(text, i);
        if (len == 1 && IsUnsafeChar(static_cast<unsigned char>(text[i])))
            out.push_back('_');
        else
            out.append(text.substr(i, len));
        i += len;
    }
    return out;
}

std::string TaglineName(std::string_view prefixSetting, const IntegrityResult& result,
                        std::uint64_t totalSize, const Mp3Info* mp3, TaglinePieces pieces) {
    std::string prefix = TaglineField(prefixSetting.empty() ? kDefaultTaglinePrefix : prefixSetting);
    std::string size = pieces.withSize ? SizeText(totalSize) : std::string();
    std::string genre, year, rate;
    if (mp3) {
        if (pieces.withGenre && mp3->genre) {
            std::string spaced = *mp3->genre;
            for (char& c : spaced) {
                if (c == ' ') c = '_';
            }
            genre = TaglineField(spaced);
        }
        if (pieces.withYear && mp3->yearText) year = TaglineField(*mp3->yearText);
        if (pieces.withRate)
            rate = mp3->vbrBitrate > 0 ? "VBR" : std::to_string(mp3->bitrate / 1000) + "kbps";
    }
    for (;;) {
        std::string mp3Part = genre;
        mp3Part.append("-").append(year).append("-").append(rate);
        std::string name = Assemble(prefix, result, size, mp3 ? &mp3Part : nullptr);
        if (name.size() <= kTaglineNameMaxBytes) return name;
        // Shorten the longest of the downloaded texts (the prefix stands twice in the name).
        std::size_t prefixWeight = prefix.size() * 2;
        if (prefixWeight >= genre.size() && prefixWeight >= year.size() && !prefix.empty())
            DropLastChar(prefix);
        else if (genre.size() >= year.size() && !genre.empty())
            DropLastChar(genre);
        else if (!year.empty())
            DropLastChar(year);
        else
            return name;  // cannot happen with capped fields
    }
}

int WriteTagline(ListedDir& dir, std::string_view prefix, bool noCheck, bool withSize, bool withYear,
                 bool withGenre, bool withRate, Reporter& reporter) {
    if (!dir.integrity.listingCurrent) {
        // Renames and a generated playlist of this pass must be seen by the name, the old-tagline
        // search and the list markers alike.
        if (dir.LoadLists()) dir.integrity.listingCurrent = true;
    }
    TaglineWriter writer(dir, reporter);
    bool checkRan = !noCheck && dir.Has(FileClass::Sfv) && dir.integrity.listedCount > 0;
    if (checkRan) {
        writer.WriteOwnTagline(std::string(prefix), TaglinePieces{withSize, withYear, withGenre, withRate});
        writer.UpdateStatusMarkers();
    }
    writer.UpdateListMarkers();
    writer.RemoveFormerMarkers();
    return 0;
}

}  // namespace kestrow
