// Splitting list entries at either separator, and the "<N>" prefixes of stored lines.
#include "content/listentry.h"

namespace kestrow {

std::string_view ListEntry::DirPart() const {
    auto sep = m_text.find_last_of("\\/");
    return sep == std::string::npos ? std::string_view() : std::string_view(m_text).substr(0, sep + 1);
}

std::string_view ListEntry::FileName() const {
    return std::string_view(m_text).substr(DirPart().size());
}

std::string_view ListEntry::Title() const {
    std::string_view name = FileName();
    auto dot = name.find_last_of('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

std::string_view ListEntry::Ext() const {
    std::string_view name = FileName();
    auto dot = name.find_last_of('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

std::vector<std::string> ListEntry::Components() const {
    std::vector<std::string> parts;
    std::string_view dir = DirPart();
    std::size_t start = 0;
    if (!dir.empty() && (dir.front() == '\\' || dir.front() == '/')) start = 1;
    for (std::size_t pos = dir.find_first_of("\\/", start); pos != std::string_view::npos;
         pos = dir.find_first_of("\\/", start)) {
        parts.emplace_back(dir.substr(start, pos - start));
        start = pos + 1;
    }
    return parts;
}

std::string ListEntry::DiskPath() const {
    std::string path = m_text;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

std::string ListPrefix(unsigned n) {
    return "<" + std::to_string(n) + ">";
}

int PrefixNumber(std::string_view stored) {
    if (stored.empty()) return -1;
    if (stored.front() != '<') return -2;
    auto close = stored.find('>');
    if (close == std::string_view::npos || close < 2) return -1;
    long long n = 0;
    for (char c : stored.substr(1, close - 1)) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
        if (n > 0x7FFFFFFF) return -1;
    }
    return static_cast<int>(n);
}

std::string_view WithoutPrefix(std::string_view stored) {
    auto close = stored.find('>');
    return close == std::string_view::npos ? stored : stored.substr(close + 1);
}

}  // namespace kestrow
