// The matrix file reader shared by the programs that read matrices.
#include <gtest/gtest.h>

#include <string>

#include "helpers.h"
#include "matrix_read.h"

namespace {

struct read_result {
    bool ok;
    matrix_file matrix;
    std::string error;
};

read_result read_text(const std::string& text, const std::string& name = "m.matrix", std::size_t max = 1000) {
    scratch_dir dir;
    write_file(dir / name, text);
    read_result r;
    r.ok = read_matrix_file(dir / name, max, r.matrix, r.error);
    // Errors name the file as given; the tests name it by its own name.
    if (const std::size_t at = r.error.find(dir.path + "/"); at != std::string::npos) r.error.erase(at, dir.path.size() + 1);
    return r;
}

TEST(MatrixRead, ReadsWhatMotifMatrixWrites) {
    const read_result r = read_text(three_sites_matrix, "three.sites.matrix");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.matrix.name, "three.sites");
    ASSERT_EQ(r.matrix.scores.size(), 4u);
    EXPECT_EQ(r.matrix.scores[0][0], 1.17866);  // exactly the number written
    EXPECT_EQ(r.matrix.scores[2][2], 0.81093);
    EXPECT_EQ(r.matrix.scores[3][3], 0.81093);
    EXPECT_EQ(r.matrix.scores[3][0], 0.223144);
}

TEST(MatrixRead, AcceptsWideFieldsBlanksCrLfAndWidthZero) {
    // Wider fields, exponents, blanks anywhere in a field, CR LF, no final
    // line feed, empty lines after the fourth.
    const read_result wide = read_text(
        "A| -0.00947874|1e-05|\r\nC|  -1.38629 | 2|\r\nG|\t0|  -3.5E+2|\r\nT|0.5|-0|\r\n\r\n\n", "wide");
    ASSERT_TRUE(wide.ok) << wide.error;
    EXPECT_EQ(wide.matrix.name, "wide");
    ASSERT_EQ(wide.matrix.scores.size(), 2u);
    EXPECT_EQ(wide.matrix.scores[0][0], -0.00947874);
    EXPECT_EQ(wide.matrix.scores[1][2], -350.0);
    EXPECT_EQ(read_text("A|1|\nC|2|\nG|3|\nT|4|").matrix.scores[0][3], 4.0);
    for (const char* empty : {"\n\n\n\n", "\n\n\n", "A|\nC|\nG|\nT|\n"}) {
        const read_result r = read_text(empty);
        EXPECT_TRUE(r.ok) << r.error;
        EXPECT_TRUE(r.matrix.scores.empty());
    }
}

TEST(MatrixRead, RefusesMalformedFilesNamingTheLine) {
    const struct {
        std::string text, error;
    } cases[] = {
        {"", "m.matrix: line 1: the file ends before the A line"},
        {"A|1|\nC|1|\n", "m.matrix: line 3: the file ends before the G line"},
        {"A|1|\nG|1|\nC|1|\nT|1|\n", "m.matrix: line 2: starts with 'G', not 'C|'"},
        {"A 1|\nC|1|\nG|1|\nT|1|\n", "m.matrix: line 1: 'A' is not followed by '|'"},
        {"A|1|x|\nC|1|2|\nG|1|2|\nT|1|2|\n", "m.matrix: line 1: position 2: 'x' is not a number"},
        {"A|1|2|\nC|1||\nG|1|2|\nT|1|2|\n", "m.matrix: line 2: position 2: '' is not a number"},
        {"A|1 2|\nC|1|\nG|1|\nT|1|\n", "m.matrix: line 1: position 1: '1 2' is not a number"},
        {"A|1|\nC|1|\nG|1|\nT|inf|\n", "m.matrix: line 4: position 1: 'inf' is not a finite number"},
        {"A|1|2|\nC|1|\nG|1|2|\nT|1|2|\n", "m.matrix: line 2: 1 positions, but line 1 has 2"},
        {"A|1|\nC|1|2|\nG|1|\nT|1|\n", "m.matrix: line 2: more positions than line 1's 1"},
        {"A|1|\nC|1|\nG|1|\nT|1|2\n", "m.matrix: line 4: position 2: field not closed by '|'"},
        {"A|1|\nC|1|\nG|1|\nT|1|\nA|1|\n", "m.matrix: line 5: text after the four lines A, C, G and T"},
        {"A|" + std::string(65, '1') + "|\n", "m.matrix: line 1: position 1: field longer than 64 characters"},
        {"A|1|\nC|1|\nG|1|\nT", "m.matrix: line 4: 'T' is not followed by '|'"},
        {"A|1\x01|\nC|1|\nG|1|\nT|1|\n", "m.matrix: line 1: position 1: '1?' is not a number"},
    };
    for (const auto& c : cases) {
        const read_result r = read_text(c.text);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_EQ(r.error, c.error) << c.text;
    }
    EXPECT_EQ(read_text("A|1|2|3|\nC|1|2|3|\nG|1|2|3|\nT|1|2|3|\n", "m.matrix", 2).error,
              "m.matrix: line 1: more than 2 positions");
    EXPECT_TRUE(read_text("A|1|2|\nC|1|2|\nG|1|2|\nT|1|2|\n", "m.matrix", 2).ok);
}

TEST(MatrixRead, ReportsFilesThatCannotBeRead) {
    scratch_dir dir;
    matrix_file matrix;
    std::string error;
    EXPECT_FALSE(read_matrix_file(dir / "missing.matrix", 10, matrix, error));
    EXPECT_EQ(error, dir / "missing.matrix" + ": No such file or directory");
    EXPECT_FALSE(read_matrix_file(dir.path, 10, matrix, error));
    EXPECT_EQ(error, dir.path + ": Is a directory");
}

}  // namespace
