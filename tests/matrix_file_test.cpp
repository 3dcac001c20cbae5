#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
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
    EXPECT_EQ(cal_log_odd_scores(n, n), static_cast<float>(std::log(4.0 * (double(n) + 0.25) / (double(n) + 1))));
    EXPECT_EQ(cal_log_odd_scores(n / 4, n), static_cast<float>(std::log(4.0 * (double(n / 4) + 0.25) / (double(n) + 1))));
    EXPECT_EQ(as_written(cal_log_odd_scores(0, n)), "-22.1807");
}

TEST(MatrixFile, ThreeSitesAndWidthZero) {
    scratch_dir dir;
    motif_counts motif;
    const std::string sites = "ACGT\nacga\nACTT\n";
    count_bytes(motif, sites.data(), sites.size());
    count_end(motif);
    score_motif(motif);
    write_file(dir / "m.matrix", "an older, longer matrix file that must not show through");
    write_matrix_file(create_matrix_file(dir / "m.matrix"), dir / "m.matrix");
    EXPECT_EQ(read_file(dir / "m.matrix"), three_sites_matrix);

    score_motif(motif_counts{});
    write_matrix_file(create_matrix_file(dir / "empty.matrix"), dir / "empty.matrix");
    EXPECT_EQ(read_file(dir / "empty.matrix"), "\n\n\n\n");
    EXPECT_FALSE(run_failed);
}

TEST(MatrixFile, FullDeviceIsReported) {
    score_motif(motif_counts{});
    testing::internal::CaptureStderr();
    write_matrix_file(create_matrix_file("/dev/full"), "/dev/full");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "motif_matrix: cannot write matrix file '/dev/full': No space left on device\n");
    EXPECT_TRUE(run_failed);
    run_failed = false;
}

}  // namespace
