#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "helpers.h"
#include "motif_matrix.h"

namespace {

std::string as_written(float score) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(score));
    return text;
}

TEST(Scores, NumbersAsWritten) {
    struct { std::uint64_t count, n; const char* text; } cases[] = {
        {3, 3, "1.17866"},  // the float is written, not the double 1.17865
        {2, 3, "0.81093"},   {0, 3, "-1.38629"},   {1, 4, "0"},         {0, 1, "-0.693147"},
        {1, 1, "0.916291"},  {0, 99, "-4.60517"},  {0, 100, "-4.61512"}, {100, 100, "1.37884"},
        {4, 17, "-0.0571584"}, {0, 0, "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(as_written(cal_log_odd_scores(c.count, c.n)), c.text) << c.count << " of " << c.n;
}

TEST(Scores, ExactPastThirtyTwoBits) {
    const std::uint64_t n = (std::uint64_t{1} << 32) + 6;
    EXPECT_EQ(as_written(cal_log_odd_scores(0, n)), "-22.1807");
    EXPECT_EQ(as_written(cal_log_odd_scores(n / 4, n)), "-4.65661e-10");  // 2^30 + 1 of 2^32 + 6: a float count would be off
    EXPECT_EQ(as_written(cal_log_odd_scores(n, n)), "1.38629");
}

TEST(MatrixFile, EveryScoreWrittenAsFormattedAlone) {
    // Many distinct scores, each repeated, so that kept texts are both reused
    // and pushed out by other scores.
    std::mt19937 random(5);
    y = 20000;
    c_o.assign(y, {});
    for (auto& row : c_o)
        for (float& score : row) score = cal_log_odd_scores(random() % 3000, 2999 + random() % 2);
    std::string expected;
    for (int b = 0; b < 4; ++b) {
        expected += std::string(1, base_letters[b]) + "|";
        for (const auto& row : c_o) {
            char text[32];
            std::snprintf(text, sizeof text, "%10g|", static_cast<double>(row[b]));
            expected += text;
        }
        expected += '\n';
    }
    scratch_dir dir;
    write_matrix_file(create_matrix_file(dir / "m.matrix"), dir / "m.matrix");
    EXPECT_EQ(read_file(dir / "m.matrix"), expected);
}

}  // namespace
