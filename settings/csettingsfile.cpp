// INI reading and writing with private-profile semantics, kept in memory between one read and
// one atomic rewrite.
#include "settings/csettingsfile.h"

#include <cerrno>
#include <climits>

#include "platform/text.h"

namespace kestrow {

namespace {

constexpr std::size_t npos = std::string::npos;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\0';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

enum class LineKind { Blank, Comment, Section, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Blank;
    std::string_view name;  // section name or key
    std::string_view value;
    bool hasEquals = false;
};

ParsedLine Parse(std::string_view line) {
    ParsedLine p;
    std::string_view t = Trim(line);
    if (t.empty()) return p;
    if (t.front() == ';') {
        p.kind = LineKind::Comment;
        return p;
    }
    if (t.front() == '[') {
        std::size_t close = t.rfind(']');
        if (close != npos) {
            p.kind = LineKind::Section;
            p.name = Trim(t.substr(1, close - 1));
            return p;
        }
    }
    p.kind = LineKind::Entry;
    std::size_t eq = t.find('=');
    if (eq == npos) {
        p.name = t;
    } else {
        p.hasEquals = true;
        p.name = Trim(t.substr(0, eq));
        p.value = Trim(t.substr(eq + 1));
    }
    return p;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != npos;
}

}  // namespace

platform::Status CSettingsFile::SetPath(const std::string& path) {
    m_path = path;
    std::string text;
    platform::Status s = platform::ReadWholeFile(path, text);
    m_readError = (s.ok() || s.error == ENOENT) ? 0 : s.error;
    Load(s.ok() ? std::string_view(text) : std::string_view());
    m_lastResult = s;
    return s;
}

void CSettingsFile::SetContent(std::string_view text) {
    Load(text);
    m_readError = 0;
    m_modified = true;
}

void CSettingsFile::Load(std::string_view text) {
    m_lines.clear();
    m_modified = false;
    m_bom = text.substr(0, kBom.size()) == kBom;
    if (m_bom) text.remove_prefix(kBom.size());
    std::size_t firstBreak = text.find('\n');
    m_crlf = firstBreak != npos && firstBreak > 0 && text[firstBreak - 1] == '\r';
    while (!text.empty()) {
        std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        // Every CR before the break goes: one kept would be read as part of the line end after
        // the next rewrite, so each save would change the file again.
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        m_lines.emplace_back(line);
        if (nl == npos) break;
        text.remove_prefix(nl + 1);
    }
}

bool CSettingsFile::FindSection(std::string_view section, Range& range) const {
    std::string_view wanted = Trim(section);
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        ParsedLine p = Parse(m_lines[i]);
        if (p.kind != LineKind::Section || !platform::IEquals(p.name, wanted)) continue;
        range.header = i;
        range.begin = i + 1;
        range.end = range.begin;
        while (range.end < m_lines.size() && Parse(m_lines[range.end]).kind != LineKind::Section) ++range.end;
        return true;
    }
    return false;
}

std::size_t CSettingsFile::FindKey(const Range& range, std::string_view key) const {
    std::string_view wanted = Trim(key);
    for (std::size_t i = range.begin; i < range.end; ++i) {
        ParsedLine p = Parse(m_lines[i]);
        if (p.kind == LineKind::Entry && platform::IEquals(p.name, wanted)) return i;
    }
    return npos;
}

std::string CSettingsFile::ReadString(std::string_view key, std::string_view section) const {
    Range r{};
    if (!FindSection(section, r)) return {};
    std::size_t i = FindKey(r, key);
    if (i == npos) return {};
    std::string_view v = Parse(m_lines[i]).value;
    // A value enclosed in matching quotes is read without them, as the Windows functions do.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    std::size_t end = 0;
    for (std::size_t n = 0; n < kMaxValueChars && end < v.size(); ++n) end += platform::CharLength(v, end);
    return std::string(v.substr(0, end));
}

int CSettingsFile::ReadInt(std::string_view key, std::string_view section) const {
    std::string v = ReadString(key, section);
    std::size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) negative = v[i++] == '-';
    long long n = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
        n = n * 10 + (v[i] - '0');
        // Saturate rather than wrap: an absurd number stays absurdly large, never turns negative.
        if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return static_cast<int>(-n);
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

bool CSettingsFile::WriteString(std::string_view value, std::string_view key, std::string_view section) {
    section = Trim(section);
    if (section.empty() || HasLineBreak(section) || section.find(']') != npos) return false;
    if (key.empty() || HasLineBreak(key) || key.find('=') != npos || Trim(key) != key) return false;
    if (key.front() == ';' || key.front() == '[') return false;
    if (HasLineBreak(value)) return false;

    Range r{};
    if (!FindSection(section, r)) {
        if (!m_lines.empty() && !Trim(m_lines.back()).empty()) m_lines.emplace_back();
        m_lines.push_back("[" + std::string(section) + "]");
        m_lines.push_back(std::string(key) + "=" + std::string(value));
        m_modified = true;
        return true;
    }
    std::size_t i = FindKey(r, key);
    if (i != npos) {
        std::string line = std::string(Parse(m_lines[i]).name) + "=" + std::string(value);
        if (line != m_lines[i]) {
            m_lines[i] = std::move(line);
            m_modified = true;
        }
        return true;
    }
    // A new key goes after the section's last non-blank line, so the blank lines that separate it
    // from the next section stay where they are.
    std::size_t at = r.end;
    while (at > r.begin && Trim(m_lines[at - 1]).empty()) --at;
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at),
                   std::string(key) + "=" + std::string(value));
    m_modified = true;
    return true;
}

bool CSettingsFile::SectionExists(std::string_view section) const {
    Range r{};
    if (!FindSection(section, r)) return false;
    for (std::size_t i = r.begin; i < r.end; ++i) {
        if (Parse(m_lines[i]).kind == LineKind::Entry) return true;
    }
    return false;
}

std::vector<std::string> CSettingsFile::ReadSectionLines(std::string_view section) const {
    std::vector<std::string> lines;
    Range r{};
    if (!FindSection(section, r)) return lines;
    for (std::size_t i = r.begin; i < r.end; ++i) {
        ParsedLine p = Parse(m_lines[i]);
        if (p.kind != LineKind::Entry) continue;
        std::string line(p.name);
        if (p.hasEquals) line.append("=").append(p.value);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::map<std::string, std::string> CSettingsFile::ReadSectionMap(std::string_view section) const {
    std::map<std::string, std::string> map;
    for (const std::string& line : ReadSectionLines(section)) {
        std::size_t eq = line.find('=');
        if (eq == npos || eq == 0) continue;
        map[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return map;
}

std::string CSettingsFile::Serialize() const {
    std::string out;
    if (m_bom) out.append(kBom);
    const char* eol = m_crlf ? "\r\n" : "\n";
    for (const std::string& line : m_lines) out.append(line).append(eol);
    return out;
}

platform::Status CSettingsFile::Flush() {
    if (m_readError != 0) {
        // Rewriting a file that could not be read would throw away everything in it.
        m_lastResult = platform::Status{m_readError};
    } else if (m_path.empty()) {
        m_lastResult = platform::Status{ENOENT};
    } else if (!m_modified) {
        m_lastResult = {};
    } else {
        m_lastResult = platform::WriteFileAtomic(m_path, Serialize());
        if (m_lastResult) m_modified = false;
    }
    return m_lastResult;
}

}  // namespace kestrow
