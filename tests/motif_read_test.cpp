// The motif reader: each format's numbers against scores computed here from
// the counts the file was written from, in files that carry each format's
// quirks, read whole, gzip-compressed and in blocks of a few bytes; the
// format told from the content; and one line for every malformed file.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gzip.h"
#include "helpers.h"
#include "motif.h"

namespace {

struct read_result {
    bool ok;
    std::vector<motif> motifs;
    std::string error;
};

read_result read_text(const std::string& text, const std::string& name, motif_reading how = {}) {
    scratch_dir dir;
    write_file(dir / name, text);
    read_result r;
    r.ok = read_motif_file(dir / name, how, r.motifs, r.error);
    // Errors name the file as given; the tests name it by its own name.
    if (const std::size_t at = r.error.find(dir.path + "/"); at != std::string::npos) r.error.erase(at, dir.path.size() + 1);
    return r;
}

using counts = std::vector<std::array<double, 4>>;

// The score of each base from counts, computed here as the log of the
// base's frequency, its background frequency as pseudocount, over that
// frequency.
void expect_counts(const motif& m, const counts& expected, const base_frequencies& background = uniform_bases) {
    ASSERT_EQ(m.scores.size(), expected.size()) << m.id;
    for (std::size_t p = 0; p < expected.size(); ++p) {
        double total = 0;
        for (const double c : expected[p]) total += c;
        for (int b = 0; b < 4; ++b) {
            const double frequency = (expected[p][b] + background[b]) / (total + 1);
            const double score = total == 0 ? 0 : std::log(frequency / background[b]);
            EXPECT_NEAR(m.scores[p][b], score, 1e-12) << m.id << " position " << p << " base " << b;
            // Over the uniform background, bit for bit what motif_matrix computes.
            if (background == uniform_bases && total > 0) {
                EXPECT_EQ(m.scores[p][b], std::log((expected[p][b] + 0.25) / ((total + 1.0) * 0.25))) << m.id;
            }
        }
    }
}

struct expected_motif {
    std::string id;
    std::vector<std::string> names;
    double sites;
    counts numbers;
};

// Two motifs, the first with a position without counts and decimals.
const counts alpha = {{4, 16, 0, 0}, {19, 0, 1, 0}, {0, 0, 0, 0}, {2.5, 0.5, 1, 16}};
const counts beta = {{1, 1, 1, 1}, {0, 0, 10, 0}};
const counts alpha_20 = {{4, 16, 0, 0}, {19, 0, 1, 0}, {0, 0, 0, 0}, {2.5, 0.5, 1, 16}};  // probabilities x 20

struct sample {
    std::string name, text;
    motif_format format;
    std::vector<expected_motif> motifs;
};

const std::vector<sample>& samples() {
    static const std::vector<sample> all = {
        {"alpha.jaspar",
         "# rows in any order, with or without brackets, CR LF, trailing blanks\r\n"
         ">MA0001.1\tAlpha one  \r\n"
         "C  [ 16 0 0 0.5 ]\r\n"
         "A  [  4 19 0 2.5 ]  \r\n"
         "G[0 1 0 1]\r\n"
         "T 0\t0 0 16\r\n"
         "\r\n"
         ">MA0002.1\r\n"
         "A [1 0]\r\nC [1 0]\r\nG [1 10]\r\nT [1 0]",
         motif_format::jaspar,
         {{"MA0001.1_Alpha_one", {"MA0001.1", "Alpha one"}, 20, alpha}, {"MA0002.1", {"MA0002.1"}, 10, beta}}},
        {"MA0003.2.pfm", "4 19 0 2.5\n16 0 0 0.5\n0  1 0 1\n0 0 0 16\n\n", motif_format::jaspar,
         {{"MA0003.2", {"MA0003.2"}, 20, alpha}}},
        {"lettered.pfm", "A [ 1 0 ]\nC [ 1 0 ]\nG [ 1 10 ]\nT [ 1 0 ]\n", motif_format::jaspar,
         {{"lettered", {"lettered"}, 10, beta}}},
        {"minimal.meme",
         "MEME version 4\n\nALPHABET= ACGT\n\nstrands: + -\n\n"
         "Background letter frequencies (from uniform background):\nA 0.25000 C 0.25000 G 0.25000 T 0.25000 \n\n"
         "MOTIF alpha one\n\n"
         "log-odds matrix: alength= 4 w= 4 n= 20 E= 0\n 1 2 3 4\n 5 6 7 8\n 9 1 2 3\n 4 5 6 7\n\n"
         "letter-probability matrix: alength= 4 w= 4 nsites= 20 E= 1e-10\n"
         " 0.2 0.8 0 0\n 0.95 0 0.05 0\n 0 0 0 0\n 0.125 0.025 0.05 0.8\n"
         "URL http://example.org/alpha\n\n"
         "MOTIF beta\nletter-probability matrix: alength=4 w=2\n 0.25 0.25 0.25 0.25\n 0 0 1 0\n",
         motif_format::meme,
         {{"alpha_one", {"alpha", "one"}, 20, alpha_20}, {"beta", {"beta"}, 20, {{5, 5, 5, 5}, {0, 0, 20, 0}}}}},
        {"meme5.txt",
         "# DREME-like comment before the version\r\n"
         "MEME version 5.5.0\r\n\r\nALPHABET \"DNA\" DNA-LIKE\r\nA \"Adenine\" CC0000 ~ T \"Thymine\" 008000\r\n"
         "C \"Cytosine\" 0000CC ~ G \"Guanine\" FFB300\r\nN \"Any base\" = ACGT\r\nEND ALPHABET\r\n\r\n"
         "MOTIF 1-GG STREME-1\r\nletter-probability matrix: alength= 4 nsites= 8 E= 0.1\r\n"
         " 0.125 0.125 0.5 0.25 \r\n 0 0 1 0\r\n\r\n",
         motif_format::meme, {{"1-GG_STREME-1", {"1-GG", "STREME-1"}, 8, {{1, 1, 4, 2}, {0, 0, 8, 0}}}}},
        {"meme.txt",
         "********************************************************************************\n"
         "MEME - Motif discovery tool\n"
         "********************************************************************************\n"
         "MEME version 5.5.0\n\nALPHABET= ACGT\nSequence name  Weight Length\n"
         "MOTIF GCGG MEME-1\twidth =   2  sites =   4  llr = 30  E-value = 2.1e-003\n"
         "\tMotif GCGG MEME-1 Description\nSimplified        A  ::\n"
         "log-odds matrix: alength= 4 w= 2 n= 100 bayes= 1 E= 2.1e-003 \n  -1 2 -3 1\n  5 -6 1 1\n"
         "---\nletter-probability matrix: alength= 4 w= 2 nsites= 4 E= 2.1e-003 \n"
         "  0.000000  0.250000  0.750000  0.000000 \n  0.500000  0.500000  0.000000  0.000000 \n---\n"
         // As MEME 4 wrote it: a number, then "width".
         "MOTIF  2\twidth =   1  sites =   4  llr = 9\n"
         "letter-probability matrix: alength= 4 w= 1 nsites= 4 E= 1\n  0.250000  0.250000  0.250000  0.250000\n",
         motif_format::meme,
         {{"GCGG_MEME-1", {"GCGG", "MEME-1"}, 4, {{0, 1, 3, 0}, {2, 2, 0, 0}}}, {"2", {"2"}, 4, {{1, 1, 1, 1}}}}},
        {"factors.dat",
         "VV  TRANSFAC MATRIX TABLE\nXX\n//\n"
         "AC  M00001\nXX\nID  V$ALPHA_01\nNA  Alpha one\nXX\nDE  a factor\n"
         "P0      T      G      C      A\n"
         "01      0      0     16      4      C\n"
         "02      0      1      0     19      A\n"
         "03      0      0      0      0      N\n"
         "04     16      1    0.5    2.5      T\n"
         "XX\nCC  a comment\n//\n"
         "AC  MX000002\nID  MX000002\nPO\tA\tC\tG\tT\n01\t1\t1\t1\t1\t2\n02\t0\t0\t10\t0\t-\nXX\n",
         motif_format::transfac,
         {{"M00001_Alpha_one", {"M00001", "V$ALPHA_01", "Alpha one"}, 20, alpha},
          {"MX000002", {"MX000002", "MX000002"}, 10, beta}}},
        {"known.motifs",
         ">GC\tAP-1(bZIP)/Homer\t6.5\t-100\t0\tT:1(1%)\n0.2\t0.8\t0\t0\n0.95\t0\t0.05\t0\n"
         ">beta counts\n1 1 1 1\n0\t0\t10\t0\n0 0 0 0\n",
         motif_format::homer,
         {{"AP-1(bZIP)_Homer", {"AP-1(bZIP)/Homer"}, 20, {{4, 16, 0, 0}, {19, 0, 1, 0}}},
          {"beta_counts", {"beta counts"}, 10, {{1, 1, 1, 1}, {0, 0, 10, 0}, {0, 0, 0, 0}}}}},
        // JASPAR collections as long distributed: rows without letters or
        // brackets, A, C, G and T; told from HOMER's rows of four by their
        // count, and where both fit (four rows of four) by the header.
        {"pfm_vertebrates.txt",
         ">MA0004.1 Arnt\n4\t19\t0\t0\t0\t0\n16\t0\t20\t0\t0\t0\n0\t1\t0\t20\t0\t20\n0\t0\t0\t0\t20\t0\n"
         ">MA0001.1\tAlpha one\n4 19 0 2.5\n16 0 0 0.5\n0 1 0 1\n0 0 0 16\n",
         motif_format::jaspar,
         {{"MA0004.1_Arnt", {"MA0004.1", "Arnt"}, 20,
           {{4, 16, 0, 0}, {19, 0, 1, 0}, {0, 20, 0, 0}, {0, 0, 20, 0}, {0, 0, 0, 20}, {0, 0, 20, 0}}},
          {"MA0001.1_Alpha_one", {"MA0001.1", "Alpha one"}, 20, alpha}}},
        {"four_by_four.txt", ">alpha\n4 19 0 2.5\n16 0 0 0.5\n0 1 0 1\n0 0 0 16\n", motif_format::jaspar,
         {{"alpha", {"alpha"}, 20, alpha}}},
        // HOMER's header: a number third. Its probabilities to three
        // decimals need not sum to exactly 1.
        {"four_wide.motif",
         ">GCAT\tfour/Homer\t6.5\n0.333 0.333 0.333 0.003\n0 1 0 0\n0.5 0 0.5 0\n0.2 0.2 0.2 0.4\n",
         motif_format::homer,
         {{"four_Homer", {"four/Homer"}, 20, {{6.66, 6.66, 6.66, 0.06}, {0, 20, 0, 0}, {10, 0, 10, 0}, {4, 4, 4, 8}}}}},
    };
    return all;
}

TEST(MotifRead, EachFormatGivesTheScoresOfItsCounts) {
    const std::pair<std::size_t, base_frequencies> readings[] = {
        {1, uniform_bases}, {5, {0.4, 0.1, 0.1, 0.4}}, {1 << 16, {0.303, 0.183, 0.209, 0.305}}};
    for (const sample& s : samples()) {
        // Told from the content or forced; plain or gzip; in blocks of
        // one byte, a few, or many; scored against each background.
        for (const bool forced : {false, true}) {
            for (const bool packed : {false, true}) {
                for (const auto& [block, background] : readings) {
                    SCOPED_TRACE(s.name + (forced ? ", forced" : "") + (packed ? ", gzip" : "") + ", blocks of " +
                                 std::to_string(block) + ", A background " + std::to_string(background[0]));
                    motif_reading how;
                    how.block_bytes = block;
                    how.background = background;
                    if (forced) how.format = s.format;
                    const read_result r = read_text(packed ? gzip(s.text) : s.text, s.name + (packed ? ".gz" : ""), how);
                    ASSERT_TRUE(r.ok) << r.error;
                    ASSERT_EQ(r.motifs.size(), s.motifs.size());
                    for (std::size_t i = 0; i < s.motifs.size(); ++i) {
                        const motif& m = r.motifs[i];
                        EXPECT_EQ(m.id, s.motifs[i].id);
                        EXPECT_EQ(m.names, s.motifs[i].names);
                        EXPECT_EQ(m.format, s.format);
                        EXPECT_DOUBLE_EQ(m.sites, s.motifs[i].sites);
                        expect_counts(m, s.motifs[i].numbers, background);
                    }
                }
            }
        }
    }
}

TEST(MotifRead, SiteCountsOfProbabilitiesAndMatrixFiles) {
    motif_reading how;
    how.sites = 8;
    // --sites counts probabilities where the file gives no count, never where it does.
    const read_result meme = read_text(samples()[3].text, "m.meme", how);
    ASSERT_TRUE(meme.ok) << meme.error;
    EXPECT_EQ(meme.motifs[0].sites, 20);
    EXPECT_EQ(meme.motifs[1].sites, 8);
    expect_counts(meme.motifs[1], {{2, 2, 2, 2}, {0, 0, 8, 0}});
    const read_result homer = read_text(samples()[7].text, "h.motifs", how);
    expect_counts(homer.motifs[0], {{1.6, 6.4, 0, 0}, {7.6, 0, 0.4, 0}});
    EXPECT_EQ(homer.motifs[1].sites, 10);  // counts stay counts

    // A matrix file's scores are used as written; it has no site count.
    // Its three sites' counts in a JASPAR file give the same scores but
    // for the single precision of the matrix file.
    const read_result matrix = read_text(three_sites_matrix, "three.sites.matrix");
    ASSERT_TRUE(matrix.ok) << matrix.error;
    EXPECT_EQ(matrix.motifs[0].id, "three.sites");
    EXPECT_EQ(matrix.motifs[0].format, motif_format::matrix);
    EXPECT_EQ(matrix.motifs[0].sites, 0);
    EXPECT_EQ(matrix.motifs[0].scores[0][0], 1.17866);
    const read_result counted = read_text(">three\nA [3 0 0 1]\nC [0 3 0 0]\nG [0 0 2 0]\nT [0 0 1 2]\n", "three.jaspar");
    for (std::size_t p = 0; p < 4; ++p)
        for (int b = 0; b < 4; ++b)
            EXPECT_NEAR(counted.motifs[0].scores[p][b], matrix.motifs[0].scores[p][b], 1e-5) << p << " " << b;
}

TEST(MotifRead, MatrixFilesAsMotifMatrixWritesThem) {
    // Wider fields, exponents, blanks anywhere in a field, CR LF, no final
    // line feed, empty lines after the fourth.
    const read_result wide = read_text(
        "A| -0.00947874|1e-05|\r\nC|  -1.38629 | 2|\r\nG|\t0|  -3.5E+2|\r\nT|0.5|-0|\r\n\r\n\n", "wide");
    ASSERT_TRUE(wide.ok) << wide.error;
    EXPECT_EQ(wide.motifs[0].id, "wide");
    ASSERT_EQ(wide.motifs[0].scores.size(), 2u);
    EXPECT_EQ(wide.motifs[0].scores[0][0], -0.00947874);
    EXPECT_EQ(wide.motifs[0].scores[1][2], -350.0);
    EXPECT_EQ(read_text("A|1|\nC|2|\nG|3|\nT|4|", "m.matrix").motifs[0].scores[0][3], 4.0);
    motif_reading two;
    two.max_width = 2;
    EXPECT_TRUE(read_text("A|1|2|\nC|1|2|\nG|1|2|\nT|1|2|\n", "m.matrix", two).ok);
    EXPECT_EQ(read_text("A|1|2|3|\nC|1|2|3|\nG|1|2|3|\nT|1|2|3|\n", "m.matrix", two).error,
              "m.matrix: line 1: more than 2 positions");
}

// Every malformed file is refused in one line naming the file, the line
// and the reason.
TEST(MotifRead, RefusesMalformedFilesNamingTheLine) {
    const std::optional<motif_format> told;
    const std::optional<motif_format> matrix = motif_format::matrix;
    const struct {
        std::string name, text;
        std::optional<motif_format> format;
        std::string error;
    } cases[] = {
        // Matrix files.
        {"m.matrix", "", matrix, "m.matrix: line 1: the file ends before the A line"},
        {"m.matrix", "A|1|\nC|1|\n", told, "m.matrix: line 3: the file ends before the G line"},
        {"m.matrix", "A|1|\nG|1|\nC|1|\nT|1|\n", told, "m.matrix: line 2: starts with 'G', not 'C|'"},
        {"m.matrix", "A 1|\nC|1|\nG|1|\nT|1|\n", matrix, "m.matrix: line 1: 'A' is not followed by '|'"},
        {"m.matrix", "A|1|x|\nC|1|2|\nG|1|2|\nT|1|2|\n", told, "m.matrix: line 1: position 2: 'x' is not a number"},
        {"m.matrix", "A|1|2|\nC|1||\nG|1|2|\nT|1|2|\n", told, "m.matrix: line 2: position 2: '' is not a number"},
        {"m.matrix", "A|1 2|\nC|1|\nG|1|\nT|1|\n", told, "m.matrix: line 1: position 1: '1 2' is not a number"},
        {"m.matrix", "A|1|\nC|1|\nG|1|\nT|inf|\n", told, "m.matrix: line 4: position 1: 'inf' is not a finite number"},
        {"m.matrix", "A|1|2|\nC|1|\nG|1|2|\nT|1|2|\n", told, "m.matrix: line 2: 1 positions, but line 1 has 2"},
        {"m.matrix", "A|1|\nC|1|2|\nG|1|\nT|1|\n", told, "m.matrix: line 2: more positions than line 1's 1"},
        {"m.matrix", "A|1|\nC|1|\nG|1|\nT|1|2\n", told, "m.matrix: line 4: position 2: field not closed by '|'"},
        {"m.matrix", "A|1|\nC|1|\nG|1|\nT|1|\nA|1|\n", told, "m.matrix: line 5: text after the four lines A, C, G and T"},
        {"m.matrix", "A|" + std::string(65, '1') + "|\n", told, "m.matrix: line 1: position 1: field longer than 64 characters"},
        {"m.matrix", "A|1|\nC|1|\nG|1|\nT", told, "m.matrix: line 4: 'T' is not followed by '|'"},
        {"m.matrix", "A|1\x01|\nC|1|\nG|1|\nT|1|\n", told, "m.matrix: line 1: position 1: '1?' is not a number"},
        {"m.matrix", "A|\nC|\nG|\nT|\n", told, "m.matrix: the matrix has no positions"},
        // Any format.
        {"m", "", told, "m: no motif in the file"},
        {"m", "\n  \n# only a comment\n", told, "m: no motif in the file"},
        {"m", "\n@@ what\n", told,
         "m: line 2: not a motif format this program reads (matrix, JASPAR, MEME, TRANSFAC or HOMER)"},
        {"m", ">x\nNNNN\n", told, "m: line 1: not a motif format this program reads (matrix, JASPAR, MEME, TRANSFAC or HOMER)"},
        {"m", "VV  TRANSFAC\nXX\n//\n", told, "m: no motif in the file"},
        {"m", "x" + std::string(1 << 24, 'x'), told, "m: line 1: longer than 16777216 bytes"},
        // JASPAR.
        {"j", ">a\nA [1 2]\nC [1 2]\nG [1 -2]\nT [1 2]\n", told, "j: line 4: '-2' is negative"},
        {"j", ">a\nA [1 2]\nC [1 2 3]\nG [1 2]\nT [1 2]\n", told, "j: line 3: the C row of a has 3 numbers, the A row 2"},
        {"j", ">a\nA [1 2]\nC [1 2]\nA [1 2]\nT [1 2]\n", told, "j: line 4: a second A row in a"},
        {"j", ">a\nA [1 2]\nC [1 2]\nG [1 2\nT [1 2]\n", told, "j: line 4: '[' without ']'"},
        {"j", ">a\nA [1 2]\nC [1 x]\nG [1 2]\nT [1 2]\n", told, "j: line 3: 'x' is not a number"},
        {"j", ">a\nA [1 2]\nC [1 nan]\nG [1 2]\nT [1 2]\n", told, "j: line 3: 'nan' is not a finite number"},
        {"j", ">a\nA [1 2]\nC [1 2]\n", told, "j: line 4: the file ends before the 4 rows of a"},
        {"j", ">a\nA [1 2]\nC [1 2]\n>b\n", told, "j: line 4: a header where a needs 4 rows"},
        {"j", ">a\nA []\nC []\nG []\nT []\n", told, "j: line 1: the motif has no positions"},
        {"j", ">a\nA [1]\nC [1]\nG [1]\nT [1]\nA [1]\n", told, "j: line 6: expected a '>' header"},
        {"j", ">\nA [1]\nC [1]\nG [1]\nT [1]\n", motif_format::jaspar, "j: line 1: a header without a name"},
        {"j.pfm", "1 2\n1 2\n1 2\n1 2\n1 2\n", told, "j.pfm: line 5: more than the 4 rows of a motif without a '>' header"},
        {"j.pfm", "1 2\nA 1 2\n1 2\n1 2\n", told, "j.pfm: line 2: rows with and without base letters in the motif"},
        {"j", ">MA1 x\n1 2 3\n1 2 3\n1 2 3\n", told, "j: line 5: the file ends before the 4 rows of MA1"},
        {"j", ">MA1 x\n1 2 3\n1 2 3\n1 2\n1 2 3\n", told, "j: line 4: the G row of MA1 has 2 numbers, the A row 3"},
        {"j", ">a\nA [1e308 1]\nC [1e308 1]\nG [0 1]\nT [0 1]\n", told,
         "j: line 1: the counts of a position add up past the range of numbers"},
        // MEME.
        {"e", "MEME version 4\nALPHABET= ACDEFGHIKLMNPQRSTVWY\n", told, "e: line 2: the alphabet 'ACDEFGHIKLMNPQRSTVWY' is not DNA (ACGT)"},
        {"e", "MEME version 5\nALPHABET \"RNA\" RNA-LIKE\n", told, "e: line 2: the alphabet '\"RNA\" RNA-LIKE' is not DNA"},
        {"e", "MEME version 5\nALPHABET \"DNA\" DNA-LIKE\nA\nC\n", told, "e: line 2: the alphabet has no END ALPHABET line"},
        {"e", "MEME version 4\nMOTIF a\nletter-probability matrix: alength= 20 w= 1\n", told,
         "e: line 3: alength= '20': not the 4 letters of DNA"},
        {"e", "MEME version 4\nMOTIF a\nMOTIF b\nletter-probability matrix: w= 1\n0 0 0 1\n", told,
         "e: line 2: motif a has no letter-probability matrix"},
        {"e", "MEME version 4\nMOTIF a\n", told, "e: line 2: motif a has no letter-probability matrix"},
        {"e", "MEME version 4\nMOTIF\n", told, "e: line 2: MOTIF without a name"},
        {"e", "MEME version 4\nletter-probability matrix: w= 1\n", told, "e: line 2: a letter-probability matrix before any MOTIF line"},
        {"e", "MEME version 4\nMOTIF a\nletter-probability matrix: w= 2\n0 0 0 1\n", told, "e: line 5: the file ends after 1 rows of w= 2"},
        {"e", "MEME version 4\nMOTIF a\nletter-probability matrix: w= 2\n0 0 0 1\nURL x\n", told,
         "e: line 5: row 2 of w= 2 is not a row of 4 probabilities"},
        {"e", "MEME version 4\nMOTIF a\nletter-probability matrix: w= 1\n0 0 0 1\n1 0 0 0\n", told, "e: line 5: more rows than w= 1"},
        {"e", "MEME version 4\nMOTIF a\nletter-probability matrix: w= 1\n0 0 1\n", told, "e: line 4: a row of 3 numbers, not 4"},
        {"e", "MEME version 4\nMOTIF a\nletter-probability matrix: w= 1.5\n", told, "e: line 3: w= 1.5 is not a whole number"},
        {"e", "MEME version 4\nMOTIF a\nletter-probability matrix: w= 0\n", told, "e: line 2: the motif has no positions"},
        {"e", "MEME version 4\nMOTIF a\nletter-probability matrix: nsites= 0\n", told, "e: line 3: nsites= 0: no sites to count"},
        {"e", "MEME version 4\nMOTIF a\nletter-probability matrix: w= 1\n0 0 0 1\nletter-probability matrix: w= 1\n", told,
         "e: line 5: a second letter-probability matrix for motif a"},
        {"e", "MEME version 4\nMOTIF a\nletter-probability matrix: w= 1001\n", told, "e: line 2: more than 1000 positions"},
        {"e", "MEME version 4\nMOTIF a\nletter-probability matrix: w= 2.2e67\n", told, "e: line 2: more than 1000 positions"},
        // TRANSFAC.
        {"t", "AC  a\nP0 A C G T\n01 1 2 3\n", told, "t: line 3: a row of 3 counts; the P0 line names 4 columns"},
        {"t", "AC  a\nP0 A C G G\n", told, "t: line 2: the P0 line does not name the columns A, C, G and T"},
        {"t", "AC  a\nPO A C G T N\n", told, "t: line 2: the PO line does not name the columns A, C, G and T"},
        {"t", "AC  a\n01 1 2 3 4\n", told, "t: line 2: a matrix row before the P0 line"},
        {"t", "AC  a\nP0 A C G T\n01 1 2 3 4\n03 1 2 3 4\n", told, "t: line 4: row 03 follows row 1"},
        {"t", "AC  a\nP0 A C G T\n01 1 2 3 4\nXX\n02 1 2 3 4\n", told, "t: line 5: a matrix row after the matrix's end"},
        {"t", "AC  a\nP0 A C G T\n01 1 2 3 4\nP0 A C G T\n", told, "t: line 4: a second matrix in one record"},
        {"t", "XX\nP0 A C G T\n01 1 2 3 4\n//\n", told, "t: line 2: a matrix without an AC or ID line"},
        {"t", "AC  a\nP0 A C G T\nXX\n//\n", told, "t: line 2: the motif has no positions"},
        {"t", "AC  a\nXX\nsome text\n", told, "t: line 3: 'some' is not a two-letter code"},
        {"t", "AC  a\nP0 A C G T\n01 1 2 3 -4 A\n", told, "t: line 3: '-4' is negative"},
        // HOMER.
        {"h", ">x\ty\t5\n0.25 0.25 0.5\n", told, "h: line 2: a row of 3 numbers, not 4"},
        {"h", ">x\ty\t5\n0.25 0.25 0.5 0\n>z\n", told, "h: line 3: the motif has no positions"},
        {"h", ">x\t\t5\n0.25 0.25 0.5 0\n", told, "h: line 1: a header without a name"},
        {"h", "0.25 0.25 0.5 0\n", motif_format::homer, "h: line 1: expected a '>' header"},
        {"h", ">x\n0.25 0.25 0.5 0\nA C G T\n", told, "h: line 3: 'A' is not a number"},
        // A file that does not parse as the format forced.
        {"f", ">MA1\nA [1]\nC [1]\nG [1]\nT [1]\n", motif_format::homer, "f: line 2: 'A' is not a number"},
        {"f", ">MA1\nA [1]\nC [1]\nG [1]\nT [1]\n", motif_format::transfac, "f: line 1: '>MA1' is not a two-letter code"},
        {"f", ">MA1\nA [1]\nC [1]\nG [1]\nT [1]\n", motif_format::meme, "f: no motif in the file"},
    };
    for (const auto& c : cases) {
        motif_reading how;
        how.format = c.format;
        const read_result r = read_text(c.text, c.name, how);
        EXPECT_FALSE(r.ok) << c.error;
        EXPECT_EQ(r.error, c.error) << c.text.substr(0, 200);
    }
}

// Motifs of another format among the lines a MEME file passes over (a file
// of another format appended) are named in one warning per file; MEME's own
// text holds none (the fuzzing corpus holds MEME 5's text output).
TEST(MotifRead, WarnsOfMotifsOfOtherFormatsInMemeFiles) {
    const std::string meme = "MEME version 4\n\nMOTIF one\nletter-probability matrix:\n0.25 0.25 0.25 0.25\n";
    std::vector<std::pair<std::string, std::string>> cases = {
        {meme + ">MA1 Alpha\nA [1 2]\nC [0 1]\n# a comment\nG [3 0]\nT [0 0]\n>MA2\n1\n1\n1\n1\n",
         "line 6: a JASPAR motif in a MEME file, not read (2 such places in all)"},
        {meme + ">GCAT\tfour/Homer\t6.5\n0.1 0.2 0.3 0.4\n", "line 6: a HOMER motif in a MEME file, not read"},
        {meme + "AC  M1\nP0 T G C A\n01 0 0 16 4 C\n", "line 7: a TRANSFAC motif in a MEME file, not read"},
        // Too little of each, or cut by a MOTIF line.
        {meme + ">x\nA 1\nC 1\nG 1\n\nP0 A C G T\nXX\n>y\n1 0\nMOTIF two\nletter-probability matrix:\n1 0 0 0\n", ""},
        {read_file(SOURCE_DIR "/examples/promoter_motifs.meme"), ""}};
    for (const auto& entry : std::filesystem::directory_iterator(SOURCE_DIR "/fuzz/corpus/motif_read"))
        cases.push_back({read_file(entry.path()), ""});
    scratch_dir dir;
    for (const auto& [text, expected] : cases) {
        write_file(dir / "m", text);
        std::vector<motif> motifs;
        std::string error, warning;
        read_motif_file(dir / "m", {}, motifs, error, &warning);
        EXPECT_EQ(warning, expected.empty() ? "" : dir / "m: " + expected + "; give each format a file of its own")
            << text;
    }
}

// A repeated identifier gets the first free "#2", "#3", ... in load order,
// whatever suffixed names the files hold themselves.
TEST(MotifRead, RepeatedIdentifiersGetTheFirstFreeSuffix) {
    const struct {
        std::vector<std::string> given, loaded;
    } cases[] = {
        {{"X", "X", "X"}, {"X", "X#2", "X#3"}},
        {{"X#2", "X", "X"}, {"X#2", "X", "X#3"}},
        {{"X", "X", "X#2"}, {"X", "X#2", "X#2#2"}},
        {{"X", "X#2", "X", "X#3", "X"}, {"X", "X#2", "X#3", "X#3#2", "X#4"}},
    };
    scratch_dir dir;
    for (const auto& c : cases) {
        std::string jaspar;
        for (const std::string& id : c.given) jaspar += ">" + id + "\nA [1]\nC [0]\nG [0]\nT [0]\n";
        write_file(dir / "m.jaspar", jaspar);
        std::vector<motif> motifs;
        ASSERT_TRUE(load_motifs("test", {dir / "m.jaspar"}, {}, {}, motifs));
        std::vector<std::string> ids;
        for (const motif& m : motifs) ids.push_back(m.id);
        EXPECT_EQ(ids, c.loaded) << jaspar;
    }
}

TEST(MotifRead, ReportsFilesThatCannotBeRead) {
    scratch_dir dir;
    std::vector<motif> motifs;
    std::string error;
    EXPECT_FALSE(read_motif_file(dir / "missing.matrix", {}, motifs, error));
    EXPECT_EQ(error, dir / "missing.matrix" + ": No such file or directory");
    EXPECT_FALSE(read_motif_file(dir.path, {}, motifs, error));
    EXPECT_EQ(error, dir.path + ": Is a directory");
    const std::string packed = gzip(samples()[0].text);
    write_file(dir / "cut.gz", packed.substr(0, packed.size() - 12));
    EXPECT_FALSE(read_motif_file(dir / "cut.gz", {}, motifs, error));
    EXPECT_EQ(error, dir / "cut.gz" + ": gzip data ends early");
}

}  // namespace
