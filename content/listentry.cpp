// Splitting list entries at either separator, and the "<N>" prefixes of stored lines.
#include "content/listentry.h"

#include <algorithm>
#include <climits>

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

bool IsAddedLine(std::string_view stored) {
    return stored.substr(0, kAddedLinePrefix.size()) == kAddedLinePrefix;
}

namespace {

struct NumberedLine {
    int n;
    std::string_view text;
    bool comment;
};

}  // namespace

// Comment and invalid lines go back to their places among the entries: a line numbered N that is
// the i-th such line (from 0) had N - i entries before it. Entries removed since loading move the
// later lines up; entries added go last.
std::string ListFileText(char commentMark, const std::vector<std::string>& comments,
                         const std::vector<std::string>* invalidLines,
                         const std::vector<std::string>& entries) {
    std::string out;
    auto put = [&out](std::string_view a, std::string_view b) {
        out += a;
        out += b;
        out += kListLineEnd;
    };
    const std::string prefixText(1, commentMark);
    std::vector<NumberedLine> numbered;
    for (const auto& stored : comments) {
        if (IsAddedLine(stored)) {
            put(prefixText, std::string_view(stored).substr(kAddedLinePrefix.size()));
            continue;
        }
        int n = PrefixNumber(stored);
        numbered.push_back({n < 0 ? INT_MAX : n, WithoutPrefix(stored), true});
    }
    if (invalidLines != nullptr) {
        for (const auto& stored : *invalidLines) {
            int n = PrefixNumber(stored);
            numbered.push_back({n < 0 ? INT_MAX : n, WithoutPrefix(stored), false});
        }
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const NumberedLine& a, const NumberedLine& b) { return a.n < b.n; });
    std::size_t written = 0;
    long long slot = 0;
    for (std::size_t i = 0; i < numbered.size(); ++i) {
        slot = std::max(slot, static_cast<long long>(numbered[i].n) - static_cast<long long>(i));
        while (written < entries.size() && static_cast<long long>(written) < slot)
            put(entries[written++], {});
        // A numbered comment without text is a line taken out since loading (a ";" alone is
        // never read as a comment).
        if (numbered[i].comment && numbered[i].text.empty()) continue;
        if (numbered[i].comment) {
            put(prefixText, numbered[i].text);
        } else {
            put(numbered[i].text, {});
        }
    }
    while (written < entries.size()) put(entries[written++], {});
    return out;
}

}  // namespace kestrow
