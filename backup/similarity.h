// How alike two names are, by the longest run of characters they share in the same order: the
// measure by which a restore without backup data pairs a renamed file with a list entry.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrow {

// A name folded to lower case once, as code points (a byte that is not valid UTF-8 stands as the
// Latin-1 character of its value, as every case-blind comparison of the program takes it), with
// the first position of each of the first 256 code points for the run starts.
class FoldedName {
public:
    explicit FoldedName(std::string_view name);

    const std::u32string& Chars() const { return m_chars; }
    // First position of the character, -1 when the name holds none.
    int First(char32_t c) const;

private:
    std::u32string m_chars;
    std::array<std::int32_t, 256> m_first{};
};

// Runs of a through b: each run starts where a's character first occurs in b and goes on while
// a's next character is b's next one; the character that breaks a run goes with it, and a run
// that reaches b's last character ends there. The score is the longest run, computed in both
// orders; the larger counts. An empty name scores 0.
int SimilarityScore(const FoldedName& a, const FoldedName& b);
int SimilarityScore(std::string_view a, std::string_view b);

}  // namespace kestrow
