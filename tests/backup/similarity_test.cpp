// The similarity score: runs of shared characters, both orders, case and byte handling.
#include <gtest/gtest.h>

#include <string>

#include "backup/similarity.h"
#include "tests/support/golden.h"

namespace kestrow {
namespace {

TEST(SimilarityScoreTest, TableInBothOrders) {
    const auto rows = test::TableRows("similarity_rows.txt");
    EXPECT_EQ(rows.size(), 10u);
    for (const auto& row : rows) {
        const std::string a = test::Unescape(row[0]), b = test::Unescape(row[1]);
        EXPECT_EQ(SimilarityScore(a, b), std::stoi(row[2])) << row[3];
        EXPECT_EQ(SimilarityScore(b, a), std::stoi(row[2])) << row[3] << " (other order)";
    }
}

}  // namespace
}  // namespace kestrow
