// Directory scan and file look-ups.
#include "content/dircontents.h"

#include <algorithm>
#include <numeric>

#include "platform/fs.h"
#include "platform/text.h"

namespace kestrow {

namespace {

const FileEntry& EmptyEntry() {
    static const FileEntry empty;
    return empty;
}

std::string NameOf(FileClass c, const FileEntry& e) {
    return c == FileClass::Subdir ? e.path.LastComponent() : e.path.FileName();
}

}  // namespace

FileClass ClassOfFileName(std::string_view name) {
    auto dot = name.find_last_of('.');
    if (dot == std::string_view::npos) return FileClass::Other;
    std::string_view ext = name.substr(dot + 1);
    if (platform::IEquals(ext, "mp3")) return FileClass::Mp3;
    if (platform::IEquals(ext, "m3u")) return FileClass::M3u;
    if (platform::IEquals(ext, "nfo")) return FileClass::Nfo;
    if (platform::IEquals(ext, "sfv")) return FileClass::Sfv;
    return FileClass::Other;
}

DirContents::DirContents(const DirContents& other)
    : m_path(other.m_path),
      m_lists(other.m_lists),
      m_totalSize(other.m_totalSize),
      m_byName(other.m_byName),
      m_listed(other.m_listed) {}

DirContents& DirContents::operator=(const DirContents& other) {
    if (this != &other) {
        m_path = other.m_path;
        m_lists = other.m_lists;
        m_totalSize = other.m_totalSize;
        m_byName = other.m_byName;
        m_listed = other.m_listed;
        ResetCursors();
    }
    return *this;
}

void DirContents::Clear() {
    for (auto& list : m_lists) list.clear();
    for (auto& order : m_byName) order.clear();
    m_ownTemporaries.clear();
    m_totalSize = 0;
    ResetCursors();
}

void DirContents::ResetCursors() {
    m_cursor.fill(0);
    m_fileClassIndex = -1;
}

bool DirContents::Scan() {
    if (m_held && m_listed && !m_changed) {
        ResetCursors();
        return true;
    }
    Clear();
    m_listed = false;
    m_changed = false;
    std::string dir = DirPath();
    if (dir.empty()) return false;
    std::vector<platform::DirEntry> entries;
    if (!platform::ListDirectory(dir, entries)) return false;
    std::sort(entries.begin(), entries.end(), [](const platform::DirEntry& a, const platform::DirEntry& b) {
        return platform::NameLess(a.name, b.name);
    });
    for (const auto& e : entries) {
        if (e.ownTemporary) {
            m_ownTemporaries.push_back(e.name);
        } else if (e.kind == platform::EntryKind::Directory) {
            FileEntry sub;
            sub.path.Set(dir + e.name, true);
            sub.symlink = e.symlink;
            m_lists[Index(FileClass::Subdir)].push_back(std::move(sub));
        } else if (e.kind == platform::EntryKind::File) {
            AddFile(e.name, e.size);
        }
        // FIFOs, devices, sockets and dangling links are not files of a release.
    }
    // Each class was filled in name order, so its list is its own index.
    for (std::size_t c = 0; c < m_lists.size(); ++c) {
        m_byName[c].resize(m_lists[c].size());
        std::iota(m_byName[c].begin(), m_byName[c].end(), std::uint32_t{0});
    }
    m_listed = true;
    return true;
}

void DirContents::AddFile(std::string_view name, std::uint64_t size) {
    FileEntry f;
    f.path.dir = DirPath();
    f.path.components = m_path.components;
    f.path.SetFileName(name);
    f.size = size;
    m_totalSize += size;
    const FileClass c = ClassOfFileName(name);
    auto& list = m_lists[Index(c)];
    auto& order = m_byName[Index(c)];
    auto at = std::partition_point(order.begin(), order.end(), [&](std::uint32_t i) {
        return !platform::NameLess(name, NameOf(c, list[i]));
    });
    order.insert(at, static_cast<std::uint32_t>(list.size()));
    list.push_back(std::move(f));
}

bool DirContents::First(FileClass c) {
    m_cursor[Index(c)] = 0;
    return Has(c);
}

bool DirContents::Next(FileClass c) {
    auto& cur = m_cursor[Index(c)];
    if (cur + 1 >= List(c).size()) {
        cur = List(c).size();
        return false;
    }
    ++cur;
    return true;
}

const FileEntry& DirContents::Current(FileClass c) const {
    std::size_t cur = m_cursor[Index(c)];
    const auto& list = List(c);
    return cur < list.size() ? list[cur] : EmptyEntry();
}

std::string DirContents::CurrentTitle(FileClass c) const {
    const FileEntry& e = Current(c);
    return c == FileClass::Subdir ? e.path.LastComponent() : e.path.Title();
}

std::string DirContents::SubdirName(std::size_t index) const {
    const auto& list = List(FileClass::Subdir);
    return index < list.size() ? list[index].path.LastComponent() : std::string();
}

bool DirContents::FirstFile() {
    for (int i = 0; i < 5; ++i) {
        if (Has(kAllFilesOrder[i])) {
            m_fileClassIndex = i;
            m_cursor[Index(kAllFilesOrder[i])] = 0;
            return true;
        }
    }
    m_fileClassIndex = -1;
    return false;
}

bool DirContents::NextFile(bool acrossClasses) {
    if (m_fileClassIndex < 0) return false;
    FileClass c = kAllFilesOrder[m_fileClassIndex];
    if (m_cursor[Index(c)] + 1 < List(c).size()) {
        ++m_cursor[Index(c)];
        return true;
    }
    if (!acrossClasses) return false;
    for (int i = m_fileClassIndex + 1; i < 5; ++i) {
        if (Has(kAllFilesOrder[i])) {
            m_fileClassIndex = i;
            m_cursor[Index(kAllFilesOrder[i])] = 0;
            return true;
        }
    }
    m_fileClassIndex = -1;
    return false;
}

const FileEntry& DirContents::CurrentFile() const {
    if (m_fileClassIndex < 0) return EmptyEntry();
    return Current(kAllFilesOrder[m_fileClassIndex]);
}

const FileEntry* DirContents::Find(FileClass c, std::string_view name) const {
    const auto& list = List(c);
    const auto& order = m_byName[Index(c)];
    auto it = std::partition_point(order.begin(), order.end(), [&](std::uint32_t i) {
        return platform::ICompare(NameOf(c, list[i]), name) < 0;
    });
    const FileEntry* caseBlind = nullptr;
    for (; it != order.end(); ++it) {
        const FileEntry& e = list[*it];
        const std::string own = NameOf(c, e);
        if (own == name) return &e;
        if (platform::ICompare(own, name) != 0) break;
        if (!caseBlind) caseBlind = &e;
    }
    return caseBlind;
}

const FileEntry* DirContents::GetFile(std::string_view name) const {
    return Find(ClassOfFileName(name), name);
}

const FileEntry* DirContents::GetSubdir(std::string_view name) const {
    return Find(FileClass::Subdir, name);
}

}  // namespace kestrow
