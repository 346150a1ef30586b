// The similarity score of two names.
#include "backup/similarity.h"

#include <algorithm>

#include "platform/text.h"

namespace kestrow {

namespace {

// Longest run of a through b, one order.
int Runs(const std::u32string& a, const FoldedName& b) {
    const std::u32string& bc = b.Chars();
    const std::size_t limit = std::min(a.size(), bc.size());
    std::size_t best = 0;
    for (std::size_t i = 0; i < a.size() && best < limit;) {
        const int start = b.First(a[i++]);
        if (start < 0) continue;
        std::size_t p = static_cast<std::size_t>(start), length = 1;
        // A run that has reached b's last character stops without taking a's next one.
        while (p + 1 < bc.size() && i < a.size()) {
            if (a[i++] != bc[p + 1]) break;
            ++p;
            ++length;
        }
        best = std::max(best, length);
    }
    return static_cast<int>(best);
}

}  // namespace

FoldedName::FoldedName(std::string_view name) {
    // The folded key is valid UTF-8 whatever the name held: decode it into code points.
    const std::string key = platform::FoldCase(name);
    m_chars.reserve(key.size());
    for (std::size_t i = 0; i < key.size();) m_chars.push_back(platform::NextChar(key, i));
    m_first.fill(-1);
    for (std::size_t k = m_chars.size(); k-- > 0;) {
        if (m_chars[k] < m_first.size()) m_first[m_chars[k]] = static_cast<std::int32_t>(k);
    }
}

int FoldedName::First(char32_t c) const {
    if (c < m_first.size()) return m_first[c];
    const auto at = m_chars.find(c);
    return at == std::u32string::npos ? -1 : static_cast<int>(at);
}

int SimilarityScore(const FoldedName& a, const FoldedName& b) {
    if (a.Chars().empty() || b.Chars().empty()) return 0;
    return std::max(Runs(a.Chars(), b), Runs(b.Chars(), a));
}

int SimilarityScore(std::string_view a, std::string_view b) {
    return SimilarityScore(FoldedName(a), FoldedName(b));
}

}  // namespace kestrow
