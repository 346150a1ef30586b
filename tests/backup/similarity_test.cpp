// The similarity score: runs of shared characters, both orders, case and byte handling.
#include <gtest/gtest.h>

#include <string>

#include "backup/similarity.h"

namespace kestrow {
namespace {

struct ScoreCase {
    const char* a;
    const char* b;
    int score;
    const char* why;
};

TEST(SimilarityScoreTest, TableInBothOrders) {
    const ScoreCase cases[] = {
        {"", "", 0, "empty names"},
        {"", "abc", 0, "one empty name"},
        {"x", "y", 0, "nothing shared"},
        {"Track.MP3", "track.mp3", 9, "letter case does not count"},
        {"bc", "abxbc", 2, "the first occurrence starts a run; the other order finds the longer one"},
        {"cabcde", "cdeab", 3, "a run that reaches the last character leaves the next one to a new run"},
        {"aab", "aba", 1, "the character that breaks a run goes with it"},
        {"01-artist-song.mp3", "01-artist-song two.mp3", 14, "a name cut short"},
        {"\xC9t\xE9", "\xC3\xA9t\xC3\xA9", 3, "a Latin-1 byte folds like its UTF-8 character"},
        {"\xC3\xBC"
         "1",
         "\xC3\xBC"
         "2",
         1, "a multibyte character counts once"},
    };
    for (const ScoreCase& c : cases) {
        EXPECT_EQ(SimilarityScore(c.a, c.b), c.score) << c.why;
        EXPECT_EQ(SimilarityScore(c.b, c.a), c.score) << c.why << " (other order)";
    }
}

}  // namespace
}  // namespace kestrow
