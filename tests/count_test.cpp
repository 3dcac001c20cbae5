#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "count_paths.h"
#include "motif_matrix.h"

namespace {

// Every case holds for the plain path and the fast path alike.
class Count : public testing::TestWithParam<count_path> {
  protected:
    motif_counts count_in_pieces(const std::string& text, std::size_t piece) const {
        return count_with(GetParam(), text, piece);
    }
    motif_counts count(const std::string& text) const { return count_in_pieces(text, text.size() + 1); }
};

// Counts of positions 0 to width-1, 4 per position in base order.
std::vector<std::uint64_t> column_counts(const motif_counts& motif) {
    return {motif.counts.begin(), motif.counts.begin() + 4 * static_cast<std::ptrdiff_t>(motif.width)};
}

TEST_P(Count, ThreeSitesWithOrWithoutHeaders) {
    const std::vector<std::uint64_t> expected = {3, 0, 0, 0, 0, 3, 0, 0, 0, 0, 2, 1, 1, 0, 0, 2};
    for (const char* text : {">a\nACGT\n>b\nacga\n>c\nACTT\n", "ACGT\nacga\nACTT\n", ">x\n>y\nACGT\nacga\n>z\nACTT"}) {
        const motif_counts motif = count(text);
        EXPECT_EQ(motif.n, 3u) << text;
        EXPECT_EQ(motif.width, 4u) << text;
        EXPECT_EQ(column_counts(motif), expected) << text;
    }
}

TEST_P(Count, LinesAndWidth) {
    struct { const char* text; std::uint64_t n; std::size_t width; } cases[] = {
        {"", 0, 0},
        {">only a header\n>and another", 0, 0},
        {"\n", 1, 0},
        {"ACGT\n\n", 2, 0},              // a last empty line makes the width 0
        {"ACGT\r\nACGT\r\n", 2, 5},      // the carriage return takes a position
        {"ACGTACGT\nAC\nACG\n", 3, 3},   // the last line gives the width
        {"ACGT\n >x\n", 2, 3},           // a blank first: a sequence line
        {"ACGT\nACG", 2, 3},             // no final line feed: still a line
        {"ACGT\n>cut off", 1, 4},
    };
    for (const auto& c : cases) {
        const motif_counts motif = count(c.text);
        EXPECT_EQ(motif.n, c.n) << c.text;
        EXPECT_EQ(motif.width, c.width) << c.text;
    }
}

TEST_P(Count, OnlyTheFourBasesCount) {
    std::string text = "NAn-\nC.G T\n";
    text += std::string("\x00\x80\xff\x41", 4) + "\n";
    const motif_counts motif = count(text);
    const std::vector<std::uint64_t> expected = {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0};
    EXPECT_EQ(column_counts(motif), expected);
}

TEST_P(Count, BlockBoundariesChangeNothing) {
    const std::string text = ">h1\nACGTN\r\n\n>long header line\nacgtacgtac\n >no header\nTTTT";
    const motif_counts whole = count(text);
    for (std::size_t piece = 1; piece <= text.size(); ++piece) {
        const motif_counts pieces = count_in_pieces(text, piece);
        EXPECT_EQ(pieces.n, whole.n);
        EXPECT_EQ(pieces.width, whole.width);
        EXPECT_EQ(column_counts(pieces), column_counts(whole));
    }
}

TEST_P(Count, StaysExactPastSinglePrecision) {
    // 2^24 + 1 lines: a float counter would stop at 2^24.
    const std::uint64_t lines = (std::uint64_t{1} << 24) + 1;
    std::string block;
    for (int i = 0; i < 4096; ++i) block += "A\n";
    std::string text;
    for (std::uint64_t done = 0; done + 4096 <= lines; done += 4096) text += block;
    text += "A\n";
    const motif_counts motif = count_in_pieces(text, block.size());
    EXPECT_EQ(motif.n, lines);
    EXPECT_EQ(motif.counts[0], lines);
}

TEST_P(Count, StaysExactPastThirtyTwoBits) {
    // As if 2^32 - 2 lines "A" had been counted, five more cross 2^32.
    const std::uint64_t before = (std::uint64_t{1} << 32) - 2, after = before + 5;
    const std::string lines = "A\nA\nA\nA\nA\n";
    motif_counts motif;
    if (GetParam() == count_path::plain) {
        count_bytes(motif, "A\n", 2);
        motif.n += before - 1;
        motif.counts[0] += before - 1;
        count_bytes(motif, lines.data(), lines.size());
        count_end(motif);
    } else {
        fast_motif_counts fast;
        count_block(fast, "A\n", 2);
        count_block_end(fast);
        fast.motif.n += before - 1;
        fast.motif.counts[0] += before - 1;
        count_block(fast, lines.data(), lines.size());
        count_block_end(fast);
        motif = std::move(fast.motif);
    }
    EXPECT_EQ(motif.n, after);
    EXPECT_EQ(motif.counts[0], after);
    score_motif(motif);
    ASSERT_EQ(y, 1u);
    EXPECT_EQ(c_o[0][0], cal_log_odd_scores(after, after));
    EXPECT_FLOAT_EQ(c_o[0][1], -22.18071f);  // ln(0.25 / (2^32 + 4) / 0.25)
}

TEST_P(Count, LinesUpToTheLimitAreHeldLongerOnesRefused) {
    std::string line(max_width, 'c');
    const motif_counts motif = count(line + "\n");
    EXPECT_FALSE(motif.too_long);
    EXPECT_EQ(motif.width, max_width);
    EXPECT_EQ(motif.counts[4 * (max_width - 1) + 1], 1u);
    EXPECT_TRUE(count(line + "c\n").too_long);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, Count, testing::Values(count_path::plain, count_path::fast), count_path_name);

}  // namespace
