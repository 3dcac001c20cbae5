#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

#include "helpers.h"
#include "motif_matrix.h"

namespace {

// Runs the dialogue for n motifs on the given answers, with its output caught.
void converse(int n, const std::string& answers) {
    std::istringstream in(answers);
    std::ostringstream out;
    auto* cin_buffer = std::cin.rdbuf(in.rdbuf());
    auto* cout_buffer = std::cout.rdbuf(out.rdbuf());
    create_n_matrices(n);
    std::cin.rdbuf(cin_buffer);
    std::cout.rdbuf(cout_buffer);
}

TEST(Slots, EachMotifKeepsItsOwnMatrix) {
    scratch_dir dir;
    write_file(dir / "three", "ACGT\nacga\nACTT\n");
    write_file(dir / "two", "AC\nAG\n");
    write_file(dir / "headers", ">nothing but a header\n");
    converse(3, dir / "three" + " " + dir / "two" + "\n" + dir / "headers");

    ASSERT_EQ(r1, 4u);
    EXPECT_EQ(m1[0][0], cal_log_odd_scores(3, 3));  // untouched by the two later motifs
    EXPECT_EQ(m1[2][3], cal_log_odd_scores(1, 3));
    ASSERT_EQ(r2, 2u);
    EXPECT_EQ(m2[0][0], cal_log_odd_scores(2, 2));
    EXPECT_EQ(m2[1][2], cal_log_odd_scores(1, 2));
    EXPECT_EQ(r3, 0u);
    EXPECT_TRUE(m3.empty());
    EXPECT_EQ(read_file(dir / "headers.matrix"), "\n\n\n\n");
}

TEST(Slots, EndOfInputStopsTheDialogue) {
    scratch_dir dir;
    write_file(dir / "two", "AC\nAG\n");
    r2 = 7;
    converse(2, dir / "two");
    EXPECT_EQ(r1, 2u);
    EXPECT_EQ(r2, 7u);  // the second motif was never named
}

}  // namespace
