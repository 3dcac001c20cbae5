// motif_scan run as a user would: the worked example, gzip and plain input,
// any number of threads, and every error and usage path.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "gzip.h"
#include "helpers.h"
#include "run_command.h"
#include "scan_paths.h"
#include "scanning.h"

namespace {

using namespace std::string_literals;

const std::string scan = MOTIF_SCAN_EXE;
const std::string examples = EXAMPLES_DIR;

// The TATA-box matrix of examples/tata_box.sites, as motif_matrix writes it.
const char* const tata_matrix =
    "A| -0.367725| -0.955511|  -2.56495|   1.32687|  -2.56495|   1.32687|   1.14862|   1.32687|  0.802346| -0.955511|  -2.56495| -0.367725|\n"
    "C|         0|  0.802346|  -2.56495|  -2.56495| -0.955511|  -2.56495|  -2.56495|  -2.56495|  -2.56495|  -2.56495|  0.268264|  0.931558|\n"
    "G|  0.653926|         0|  -2.56495|  -2.56495|  -2.56495|  -2.56495|  -2.56495|  -2.56495| -0.955511|   1.24171|  0.931558| -0.955511|\n"
    "T| -0.955511| -0.955511|   1.32687|  -2.56495|   1.24171|  -2.56495| -0.367725|  -2.56495|  0.268264|  -2.56495|  -2.56495|  -2.56495|\n";

// The sites of the TATA box in examples/promoters.fa: one on each strand
// and a soft-masked one.
const char* const promoter_sites =
    "chr1\t60\t72\ttata_box.sites\t13.0613\t+\t5.96e-08\tGCTATAAAAGGC\n"
    "chr2\t80\t92\ttata_box.sites\t13.0613\t-\t5.96e-08\tGCTATAAAAGGC\n"
    "chr3\t45\t57\ttata_box.sites\t9.67603\t+\t7.81e-06\tcctataaatagc\n";

std::string random_bases(std::mt19937_64& random, std::size_t length) {
    std::string bases;
    for (std::size_t i = 0; i < length; ++i) bases += "ACGT"[random() % 4];
    return bases;
}

class ScanRun : public testing::Test {
  protected:
    scratch_dir dir;
    void SetUp() override { write_file(dir / "tata_box.sites.matrix", tata_matrix); }
    std::string tata() const { return dir / "tata_box.sites.matrix"; }
};

TEST_F(ScanRun, FindsTheTataBoxesOfTheExample) {
    const command_result r = run_command({scan, "-m", tata(), examples + "/promoters.fa"});
    EXPECT_EQ(r.out, promoter_sites);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    // From standard input, by default or as '-'.
    const std::string fasta = read_file(examples + "/promoters.fa");
    EXPECT_EQ(run_command({scan, "-m", tata()}, fasta).out, promoter_sites);
    EXPECT_EQ(run_command({scan, "--matrix", tata(), "-"}, fasta).out, promoter_sites);
    // One strand, a score threshold, a p-value threshold.
    EXPECT_EQ(run_command({scan, "-m", tata(), "--strand", "+"}, fasta).out,
              "chr1\t60\t72\ttata_box.sites\t13.0613\t+\t5.96e-08\tGCTATAAAAGGC\n"
              "chr3\t45\t57\ttata_box.sites\t9.67603\t+\t7.81e-06\tcctataaatagc\n");
    EXPECT_EQ(run_command({scan, "-m", tata(), "--strand", "-", "-s", "13"}, fasta).out,
              "chr2\t80\t92\ttata_box.sites\t13.0613\t-\t5.96e-08\tGCTATAAAAGGC\n");
    EXPECT_EQ(run_command({scan, "-m", tata(), "-p", "1e-6"}, fasta).out,
              "chr1\t60\t72\ttata_box.sites\t13.0613\t+\t5.96e-08\tGCTATAAAAGGC\n"
              "chr2\t80\t92\ttata_box.sites\t13.0613\t-\t5.96e-08\tGCTATAAAAGGC\n");
    // Nothing found is no failure.
    const command_result none = run_command({scan, "-m", tata(), "-s", "100"}, fasta);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.status, 0);
}

TEST_F(ScanRun, GzipInputGivesTheSameSitesAsPlain) {
    const std::string fasta = read_file(examples + "/promoters.fa");
    write_file(dir / "p.fa.gz", gzip(fasta));
    // Several members, as bgzip writes, split anywhere.
    write_file(dir / "members", gzip(fasta.substr(0, 100)) + gzip(fasta.substr(100, 7)) + gzip("") + gzip(fasta.substr(107)));
    EXPECT_EQ(run_command({scan, "-m", tata(), dir / "p.fa.gz"}).out, promoter_sites);
    EXPECT_EQ(run_command({scan, "-m", tata(), dir / "members"}).out, promoter_sites);
    EXPECT_EQ(run_command({scan, "-m", tata()}, read_file(dir / "members")).out, promoter_sites);
}

TEST_F(ScanRun, EveryThreadCountWritesTheSameBytes) {
    // Some megabytes of records, so that many batches are scanned at once.
    std::mt19937_64 random(5);
    std::string fasta;
    for (int r = 0; r < 6; ++r) {
        fasta += ">r" + std::to_string(r) + "\n";
        const std::size_t length = r == 2 ? 0 : 1 + random() % 1500000;
        for (std::size_t at = 0; at < length; ++at) {
            fasta += "ACGTacgtN"[random() % (random() % 100 == 0 ? 9 : 4)];
            if (at % 70 == 69) fasta += '\n';
        }
        fasta += '\n';
    }
    write_file(dir / "big.fa", fasta);
    write_file(dir / "big.fa.gz", gzip(fasta));
    write_file(dir / "short.matrix", "A|1|-1|\nC|-1|1|\nG|0|0|\nT|-2|0.5|\n");
    const std::vector<std::string> options = {scan, "-m", tata(), "-m", dir / "short.matrix", "-p", "0.002"};
    auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = options;
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const command_result one = run_command(with({"-j", "1", dir / "big.fa"}));
    EXPECT_EQ(one.status, 0);
    EXPECT_GT(one.out.size(), 100000u);
    // The reference: the plain scan of the same text.
    std::vector<scan_matrix> matrices;
    for (const std::string& path : {tata(), dir / "short.matrix"}) {
        std::vector<motif> file;
        std::string error;
        ASSERT_TRUE(read_motif_file(path, {}, file, error)) << error;
        matrices.push_back(prepare_matrix(file[0], {false, 0.002}));
    }
    EXPECT_TRUE(one.out == plain_text(fasta, matrices, {}));
    for (const char* threads : {"2", "3", "8"}) {
        EXPECT_EQ(run_command(with({"-j", threads, dir / "big.fa"})).out, one.out) << threads;
    }
    EXPECT_EQ(run_command(with({"--threads=2", dir / "big.fa.gz"})).out, one.out);
    // Files are scanned in the order given.
    EXPECT_EQ(run_command(with({examples + "/promoters.fa", dir / "big.fa"})).out,
              run_command(with({examples + "/promoters.fa"})).out + one.out);
}

// The same 20 motifs of 32 sites each, written in every format the
// reader knows, find the same sites with the same scores and p-values:
// as counts, and as probabilities (exact in binary, as 32 is a power of 2).
TEST_F(ScanRun, EveryFormatOfTheSameCountsScansAlike) {
    std::mt19937_64 random(14);
    const int sites = 32;
    std::string jaspar, transfac, columns, meme = "MEME version 4\n\nALPHABET= ACGT\n\n", homer, fasta = ">planted\n";
    std::vector<std::string> pfm_files;
    char number[40];
    for (int i = 0; i < 20; ++i) {
        const std::string id = "M" + std::to_string(i), name = "x" + std::to_string(i);
        const std::size_t width = 5 + random() % 12;
        std::vector<std::array<int, 4>> counts(width);
        std::string consensus;
        for (auto& column : counts) {
            // Most sites share a base; the rest fall anywhere.
            column = {0, 0, 0, 0};
            const int favourite = static_cast<int>(random() % 4);
            for (int k = 0; k < sites; ++k) ++column[random() % 3 == 0 ? random() % 4 : favourite];
            consensus += "ACGT"[favourite];
        }
        for (int k = 0; k < 3; ++k) fasta += random_bases(random, 300) + consensus;
        jaspar += ">" + id + "\t" + name + "\n";
        std::string pfm;
        for (int b = 0; b < 4; ++b) {
            jaspar += std::string(1, "ACGT"[b]) + "  [";
            for (const auto& column : counts) {
                jaspar += " " + std::to_string(column[b]);
                pfm += std::to_string(column[b]) + (&column == &counts.back() ? "\n" : " ");
            }
            jaspar += " ]\n";
        }
        pfm_files.push_back(dir / (id + "_" + name + ".pfm"));
        write_file(pfm_files.back(), pfm);
        transfac += "AC  " + id + "\nXX\nNA  " + name + "\nP0      A      C      G      T\n";
        columns += ">" + id + "_" + name + "\n";
        meme += "MOTIF " + id + " " + name + "\nletter-probability matrix: alength= 4 w= " + std::to_string(width) +
                " nsites= " + std::to_string(sites) + " E= 0\n";
        homer += ">" + consensus + "\t" + id + "_" + name + "\t5.0\n";
        for (std::size_t p = 0; p < width; ++p) {
            transfac += (p < 9 ? "0" : "") + std::to_string(p + 1);
            for (int b = 0; b < 4; ++b) {
                transfac += "\t" + std::to_string(counts[p][b]);
                columns += std::to_string(counts[p][b]) + (b < 3 ? "\t" : "\n");
                std::snprintf(number, sizeof number, "%.17g", counts[p][b] / double(sites));
                meme += std::string(" ") + number;
                homer += std::string(number) + (b < 3 ? "\t" : "\n");
            }
            transfac += "\t" + consensus.substr(p, 1) + "\n";
            meme += "\n";
        }
        transfac += "XX\n//\n";
        meme += "\n";
    }
    fasta += random_bases(random, 1000) + "\n";
    write_file(dir / "planted.fa", fasta);
    const std::pair<std::string, std::string> files[] = {{"all.jaspar", jaspar}, {"all.transfac", transfac},
                                                         {"all.columns", columns}, {"all.meme", meme},
                                                         {"all.homer", homer}};
    for (const auto& [name, text] : files) write_file(dir / name, text);

    const auto scanned = [&](std::vector<std::string> options) {
        std::vector<std::string> args = {scan, "-p", "1e-3"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(dir / "planted.fa");
        const command_result r = run_command(args);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status, 0);
        return r.out;
    };
    const std::string expected = scanned({"-m", dir / "all.jaspar"});
    for (int i = 0; i < 20; ++i)
        EXPECT_NE(expected.find("\tM" + std::to_string(i) + "_x" + std::to_string(i) + "\t"), std::string::npos) << i;
    EXPECT_GT(std::count(expected.begin(), expected.end(), '\n'), 100);
    // Compared whole: a difference would print hundreds of lines.
    std::vector<std::string> each_pfm;
    for (const std::string& file : pfm_files) each_pfm.insert(each_pfm.end(), {"-m", file});
    EXPECT_TRUE(scanned(each_pfm) == expected);
    EXPECT_TRUE(scanned({"-m", dir / "all.transfac"}) == expected);
    EXPECT_TRUE(scanned({"-m", dir / "all.columns"}) == expected);
    EXPECT_TRUE(scanned({"-m", dir / "all.meme"}) == expected);
    EXPECT_TRUE(scanned({"--sites", "32", "-m", dir / "all.homer"}) == expected);
    EXPECT_FALSE(scanned({"-m", dir / "all.homer"}) == expected);  // 20 sites, not 32
}

// What --list shows, how identifiers are made unique and picked, and the
// warning for a motif that can never be reported.
TEST_F(ScanRun, ListsPicksAndWarnsAboutMotifs) {
    write_file(dir / "a.jaspar", ">MA1 Alpha\nA [8 0 0 0 0 0]\nC [0 8 0 0 0 0]\nG [0 0 8 0 0 0]\nT [0 0 0 8 8 8]\n"
                                 ">MA2 Beta\nA [1 0]\nC [0 1]\nG [0 0]\nT [0 0]\n");
    write_file(dir / "b.meme", "MEME version 4\n\nMOTIF MA1 Alpha\nletter-probability matrix: alength= 4 w= 1 nsites= 4\n"
                               "1 0 0 0\n\nMOTIF MA1_Alpha#2\nletter-probability matrix: alength= 4 w= 1\n0 1 0 0\n");
    const command_result list = run_command({scan, "--list", "-m", dir / "a.jaspar", "-m", dir / "b.meme", "-m", tata()});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out,
              "MA1_Alpha\t6\tjaspar\t8\t0.000244\tuniform\n"
              "MA2_Beta\t2\tjaspar\t1\t0.0625\tuniform\n"
              "MA1_Alpha#2\t1\tmeme\t4\t0.25\tuniform\n"
              "MA1_Alpha#2#2\t1\tmeme\t20\t0.25\tuniform\n"
              "tata_box.sites\t12\tmatrix\tNA\t5.96e-08\tuniform\n");
    // Picked by identifier, by a suffixed one, by ID or NAME as the file gives it.
    const auto picked = [&](std::vector<std::string> names) {
        std::vector<std::string> args = {scan, "--list", "-m", dir / "a.jaspar", "-m", dir / "b.meme"};
        for (const std::string& name : names) {
            args.push_back("--motif");
            args.push_back(name);
        }
        const command_result r = run_command(args);
        std::string ids;
        for (std::size_t at = 0; at < r.out.size(); at = r.out.find('\n', at) + 1)
            ids += r.out.substr(at, r.out.find('\t', at) - at) + " ";
        return r.status == 0 ? ids : r.err;
    };
    EXPECT_EQ(picked({"MA1_Alpha"}), "MA1_Alpha MA1_Alpha#2 ");
    EXPECT_EQ(picked({"MA1_Alpha#2"}), "MA1_Alpha#2 MA1_Alpha#2#2 ");
    EXPECT_EQ(picked({"Beta", "MA1_Alpha#2#2"}), "MA2_Beta MA1_Alpha#2#2 ");
    EXPECT_EQ(picked({"Alpha"}), "MA1_Alpha MA1_Alpha#2 ");
    EXPECT_EQ(picked({"MA2", "Gamma", "Delta"}), "motif_scan: no motif named 'Gamma' in the motif files given\n");

    // A six-position motif can never reach p <= 1e-5: warned about, the rest scanned.
    const command_result warned = run_command({scan, "-p", "1e-5", "-m", dir / "a.jaspar", "--motif", "MA1", "-m", tata(),
                                               "--motif", "tata_box.sites",
                                               examples + "/promoters.fa"});
    EXPECT_EQ(warned.err, "motif_scan: warning: MA1_Alpha: no window can reach p <= 1e-05 (the best has p = 0.000244)\n");
    EXPECT_EQ(warned.status, 0);
    EXPECT_EQ(warned.out, promoter_sites);
    EXPECT_EQ(run_command({scan, "-s", "20", "-m", tata(), examples + "/promoters.fa"}).err,
              "motif_scan: warning: tata_box.sites: no window can reach score 20 (the best scores 13.0613)\n");
    // Several: one line, the first three named.
    const std::string hint = "; motif_scan --list shows each motif's best p-value)\n";
    EXPECT_EQ(run_command({scan, "-p", "1e-5", "-m", dir / "a.jaspar", examples + "/promoters.fa"}).err,
              "motif_scan: warning: 2 motifs can never be reported: no window can reach p <= 1e-05 (MA1_Alpha and MA2_Beta" +
                  hint);
    EXPECT_EQ(run_command({scan, "-s", "9", "-m", dir / "a.jaspar", "-m", dir / "b.meme", "-m", tata(), examples + "/promoters.fa"})
                  .err,
              "motif_scan: warning: 4 motifs can never be reported: no window can reach score 9 (MA1_Alpha, MA2_Beta, "
              "MA1_Alpha#2 and 1 more" + hint);
    // Scores that spread too widely for a grid of 0.001: one line for the run.
    for (const char* name : {"w1", "w2", "w3", "w4"}) write_file(dir / name, "A|-5000|\nC|1|\nG|1|\nT|1|\n");
    EXPECT_EQ(run_command({scan, "-p", "1", "-m", dir / "w1", "-m", tata(), "-m", dir / "w2", "-m", dir / "w3", "-m",
                           dir / "w4", examples + "/promoters.fa"}).err,
              "motif_scan: warning: 4 motifs' scores spread too widely for p-values on a grid of 0.001; coarser ones are "
              "used (w1, w2, w3 and 1 more)\n");
    // A gzip motif file from standard input.
    EXPECT_EQ(run_command({scan, "--list", "-m", "-"}, gzip(read_file(dir / "a.jaspar"))).out,
              "MA1_Alpha\t6\tjaspar\t8\t0.000244\tuniform\nMA2_Beta\t2\tjaspar\t1\t0.0625\tuniform\n");
}

TEST_F(ScanRun, HelpAndVersion) {
    const command_result help = run_command({scan, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: motif_scan [options] -m MOTIFS", 0), 0u);
    EXPECT_EQ(run_command({scan, "-h"}).out, help.out);
    const command_result version = run_command({scan, "--version"});
    EXPECT_EQ(version.out, std::string("motif_scan ") + MOTIF_VERSION + "\n");
    EXPECT_EQ(version.status, 0);
}

TEST_F(ScanRun, UsageErrorsExitWithTwo) {
    const std::string hint = " (try 'motif_scan --help')\n";
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{}, "no matrix given (-m FILE)"},
        {{"-m"}, "option -m needs a value"},
        {{"-m", tata(), "-p", "0"}, "option -p: '0' is not a p-value in (0, 1]"},
        {{"-m", tata(), "-p", "1.5"}, "option -p: '1.5' is not a p-value in (0, 1]"},
        {{"-m", tata(), "-p", "x"}, "option -p: 'x' is not a number"},
        {{"-m", tata(), "-p", "nan"}, "option -p: 'nan' is not a number"},
        {{"-m", tata(), "-p", ""}, "option -p: '' is not a number"},
        {{"-m", tata(), "-s", "1e999"}, "option -s: '1e999' is out of range: beyond the greatest number, 1.79769e+308"},
        {{"-m", tata(), "-s", "3", "-p", "0.01"}, "options -p and -s exclude each other"},
        {{"-m", tata(), "-j", "0"}, "option -j: '0' is not a whole number of at least 1"},
        {{"-m", tata(), "-j", "1.5"}, "option -j: '1.5' is not a whole number of at least 1"},
        {{"-m", tata(), "--strand", "x"}, "option --strand: 'x' is not both, + or -"},
        {{"-m", tata(), "-x"}, "unknown option -x"},
        {{"-m", tata(), "--format", "fasta"}, "option --format: 'fasta' is not matrix, jaspar, meme, transfac or homer"},
        {{"-m", tata(), "--sites", "-2"}, "option --sites: '-2' is not a count above 0"},
        {{"-m", "-"}, "standard input can hold the motifs or the sequences, not both"},
        {{"-m", "-", "-"}, "standard input can hold the motifs or the sequences, not both"},
        {{"-m", tata(), "--bogus"}, "unknown option --bogus"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {scan};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const command_result r = run_command(args, ">a\nACGT\n");
        EXPECT_EQ(r.err, "motif_scan: " + c.error + hint);
        EXPECT_EQ(r.status, 2) << c.error;
        EXPECT_EQ(r.out, "");
    }
}

// Every way of naming the uniform background scans as giving none, byte
// for byte, on the shipped examples and on generated sequence.
TEST_F(ScanRun, TheUniformBackgroundInAnyFormChangesNothing) {
    std::mt19937_64 random(21);
    write_file(dir / "random.fa", ">r\n" + random_bases(random, 30000) + "\n");
    write_file(dir / "uniform.bg", "# order 0\nA 0.25\nC 0.25\nG 0.25\nT 0.25\n");
    const std::string jaspar = examples + "/jaspar2022_core_vertebrates.jaspar", meme = examples + "/promoter_motifs.meme";
    for (const auto& [motifs, fasta] : {std::pair{jaspar, examples + "/promoters.fa"}, {meme, examples + "/peaks.fa"},
                                        {meme, dir / "random.fa"}, {tata(), dir / "random.fa"}}) {
        const command_result plain = run_command({scan, "-p", "1e-3", "-m", motifs, fasta});
        ASSERT_EQ(plain.status, 0) << plain.err;
        ASSERT_NE(plain.out, "");
        for (const std::string& bg : {"uniform"s, "0.25,0.25,0.25,0.25"s, "motif"s, dir / "uniform.bg"})
            EXPECT_EQ(run_command({scan, "-p", "1e-3", "--bg", bg, "-m", motifs, fasta}).out, plain.out) << motifs << " " << bg;
    }
}

// Each form of --bg, what --list says of it, and its errors: one line, 2
// for the option's value, 1 for a file.
TEST_F(ScanRun, BackgroundsAndTheirErrors) {
    write_file(dir / "a.meme", "MEME version 4\n\nALPHABET= ACGT\n\nBackground letter frequencies\n"
                               "A 0.303 C 0.183 G 0.209 T 0.306\n\nMOTIF one\nletter-probability matrix: w= 1\n0.7 0.1 0.1 0.1\n");
    write_file(dir / "short.meme", "MEME version 4\nBackground letter frequencies\nA 0.3 C 0.2 G 0.5\nMOTIF one\nletter-probability matrix:\n1 0 0 0\n");
    write_file(dir / "orders.bg", "A 0.4\nC 0.1\n# a comment\nG 0.1\nT 0.4\nAA 0.2\nAC 0.05\n");
    write_file(dir / "no_t.bg", "A 0.4\nC 0.1\nG 0.1\n");
    write_file(dir / "sum.bg", "A 0.4\nC 0.2\nG 0.2\nT 0.4\n");
    write_file(dir / "counted.fa", ">a\naaAC\n>b\nGtTN\n");
    write_file(dir / "at.fa", ">a\nATNNTA\n");
    const struct {
        std::vector<std::string> args;
        std::string listed, error;
        int status;
    } cases[] = {
        // One strand's background is the other's complemented; both, their average.
        {{"--bg", "0.3,0.1,0.2,0.4"}, "0.35,0.15,0.15,0.35", "", 0},
        {{"--bg", "0.3,0.1,0.2,0.4", "--strand", "-"}, "0.4,0.2,0.1,0.3", "", 0},
        {{"--bg", dir / "orders.bg", "--strand", "+"}, "0.4,0.1,0.1,0.4",
         dir / "orders.bg: line 6: frequencies of longer words are left out: p-values take bases as independent", 0},
        // The first MEME file's background line, scaled to add up to 1.
        {{"--bg", "motif", "--strand", "+", "-m", dir / "a.meme"}, "0.3027,0.1828,0.2088,0.3057", "", 0},
        {{"--bg", "motif", "-m", dir / "short.meme"}, "", dir / "short.meme: line 3: the background line does not give A, C, G and T a frequency each", 1},
        {{"--bg", dir / "no_t.bg"}, "", dir / "no_t.bg: line 3: no frequency of T", 1},
        {{"--bg", dir / "sum.bg"}, "", dir / "sum.bg: line 4: the frequencies add up to 1.2, not 1", 1},
        {{"--bg", "0.4,0.1,0.1"}, "", "option --bg: '0.4,0.1,0.1' is not four frequencies A,C,G,T (try 'motif_scan --help')", 2},
        {{"--bg", ""}, "", "option --bg: '' is not uniform, auto, motif, A,C,G,T nor a file (try 'motif_scan --help')", 2},
        // auto: the bases of the sequences, either case, on both strands.
        {{"--bg", "auto", dir / "counted.fa"}, "0.3571,0.1429,0.1429,0.3571", "", 0},
        {{"--bg", "auto", dir / "at.fa"}, "", "--bg auto: the sequences hold no C or G", 1},
        {{"--bg", "auto"}, "", "--bg auto reads the sequences twice, to count their bases and to scan them: give them as a file, not on standard input (try 'motif_scan --help')", 2},
        {{"--bg", "0.5,0.5,0,0"}, "", "option --bg: '0.5,0.5,0,0': the frequency of G is not above 0 and at most 1 (try 'motif_scan --help')", 2},
        {{"--bg", "0.4,0.1,0.1,0.40001"}, "", "option --bg: '0.4,0.1,0.1,0.40001': the frequencies add up to 1.00001, not 1 (try 'motif_scan --help')", 2},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {scan, "--list", "-m", tata()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const command_result r = run_command(args);
        EXPECT_EQ(r.status, c.status) << c.args[1];
        EXPECT_EQ(r.err, c.error.empty() ? "" : "motif_scan: " + std::string(c.status == 0 ? "warning: " : "") + c.error + "\n");
        const std::string last = r.out.substr(r.out.rfind('\t', r.out.size() - 2) + 1);
        if (c.status == 0) {
            EXPECT_EQ(last, c.listed + "\n") << c.args[1];
        }
    }
}

// On random sequence of A/T-rich frequencies, the sites at p <= 1e-4 under
// those frequencies number 1e-4 of the windows (to 10%, almost 3 standard
// deviations), and as many under the frequencies counted from the
// sequence (--bg auto); under the uniform background an A/T-rich motif's
// are many times that, and a G/C-rich one's a small part.
TEST_F(ScanRun, PValuesUnderTheBackgroundOfTheSequenceAreCalibrated) {
    std::mt19937_64 random(5);
    constexpr std::size_t length = 4000000;
    std::string fasta = ">r\n";
    std::discrete_distribution<int> base({0.4, 0.1, 0.1, 0.4});
    for (std::size_t i = 0; i < length; ++i) fasta += "ACGT"[base(random)];
    write_file(dir / "at_rich.fa", fasta + "\n");
    const struct {
        std::string motif, bg;
        std::size_t width;
        double low, high;  // sites over the expected count
    } cases[] = {
        {"MA0139.1", "0.4,0.1,0.1,0.4", 19, 0.9, 1.1},  // CTCF, G/C-rich
        {"MA0108.2", "0.4,0.1,0.1,0.4", 15, 0.9, 1.1},  // TBP, A/T-rich
        {"MA0046.2", "0.4,0.1,0.1,0.4", 15, 0.9, 1.1},  // HNF1A, A/T-rich
        {"MA0139.1", "auto", 19, 0.9, 1.1},
        {"MA0046.2", "auto", 15, 0.9, 1.1},
        {"MA0046.2", "uniform", 15, 10, 1e9},
        {"MA0139.1", "uniform", 19, 0, 0.1},
    };
    for (const auto& c : cases) {
        const command_result r = run_command({scan, "-p", "1e-4", "--bg", c.bg, "--motif", c.motif, "-m",
                                              examples + "/jaspar2022_core_vertebrates.jaspar", dir / "at_rich.fa"});
        ASSERT_EQ(r.status, 0) << r.err;
        const double expected = 1e-4 * 2 * static_cast<double>(length - c.width + 1);
        const double sites = static_cast<double>(std::count(r.out.begin(), r.out.end(), '\n'));
        EXPECT_GE(sites, c.low * expected) << c.motif << " " << c.bg;
        EXPECT_LE(sites, c.high * expected) << c.motif << " " << c.bg;
    }
}

// A record whose header gives no name is named by its number in its file,
// with one warning per file.
TEST_F(ScanRun, RecordsWithoutANameAreNamedByTheirNumber) {
    write_file(dir / "a.matrix", "A|1|\nC|0|\nG|0|\nT|0|\n");
    write_file(dir / "in.fa", ">x\nA\n> description\nA\n>\r\nA\n");
    const command_result r = run_command({scan, "-s", "1", "--strand", "+", "-m", dir / "a.matrix", dir / "in.fa"});
    EXPECT_EQ(r.out, "x\t0\t1\ta\t1\t+\t0.25\tA\nrecord2\t0\t1\ta\t1\t+\t0.25\tA\nrecord3\t0\t1\ta\t1\t+\t0.25\tA\n");
    EXPECT_EQ(r.err, "motif_scan: warning: " + dir / "in.fa" +
                         ": record 2 has no name, named record2 (2 such records, each by its number)\n");
}

TEST_F(ScanRun, UnreadableOrMalformedInputsExitWithOne) {
    write_file(dir / "bad.matrix", "A|1|\nC|1|\nG|x|\nT|1|\n");
    write_file(dir / "empty.matrix", "\n\n\n\n");
    std::string wide = "";
    for (const char b : {'A', 'C', 'G', 'T'}) {
        wide += b;
        wide += '|';
        for (int p = 0; p < 1001; ++p) wide += "1|";
        wide += '\n';
    }
    write_file(dir / "wide.matrix", wide);
    write_file(dir / "huge.matrix", "A|1e300|\nC|1|\nG|1|\nT|1|\n");
    const std::string fasta = examples + "/promoters.fa";
    write_file(dir / "headless.fa", "\n  \r\nACGT\n>a\nACGT\n");
    write_file(dir / "corrupt.fa.gz", "\x1f\x8b" + std::string(30, 'x'));
    const std::string packed = gzip(read_file(fasta));
    write_file(dir / "truncated.fa.gz", packed.substr(0, packed.size() / 2));
    write_file(dir / "trailing.fa.gz", packed + "garbage");
    const struct {
        std::vector<std::string> args;
        std::string out, error;
    } cases[] = {
        // A matrix is refused before anything is written, wherever it stands.
        {{"-m", tata(), "-m", dir / "missing.matrix", fasta}, "", dir / "missing.matrix: No such file or directory"},
        {{"-m", tata(), "-m", dir / "bad.matrix", fasta}, "", dir / "bad.matrix: line 3: position 1: 'x' is not a number"},
        {{"-m", dir / "empty.matrix", fasta}, "", dir / "empty.matrix: no motif in the file"},
        {{"-m", dir / "wide.matrix", fasta}, "",
         dir / "wide.matrix: line 1: more than 1000 positions"},
        {{"-m", dir / "huge.matrix", fasta}, "",
         dir / "huge.matrix: line 1: position 1: the score '1e300' is beyond +-1e+09, not a log-odds"},
        // An unreadable FASTA file is reported; the others are still scanned.
        {{"-m", tata(), dir / "missing.fa", fasta}, promoter_sites, dir / "missing.fa: No such file or directory"},
        {{"-m", tata(), dir.path, fasta}, promoter_sites, dir.path + ": Is a directory"},
        {{"-m", tata(), dir / "headless.fa", fasta}, promoter_sites,
         dir / "headless.fa: line 3: the first line that is not empty is not a '>' header"},
        {{"-m", tata(), dir / "corrupt.fa.gz"}, "", dir / "corrupt.fa.gz: corrupt gzip data (unknown compression method)"},
        // The sites before a failure are written.
        {{"-m", tata(), dir / "truncated.fa.gz"}, "chr1\t60\t72\ttata_box.sites\t13.0613\t+\t5.96e-08\tGCTATAAAAGGC\n",
         dir / "truncated.fa.gz: gzip data ends early"},
        {{"-m", tata(), dir / "trailing.fa.gz"}, promoter_sites,
         dir / "trailing.fa.gz: corrupt gzip data (incorrect header check)"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {scan};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const command_result r = run_command(args);
        EXPECT_EQ(r.err, "motif_scan: " + c.error + "\n");
        EXPECT_EQ(r.status, 1) << c.error;
        EXPECT_EQ(r.out, c.out) << c.error;
    }
    // A full disk.
    const command_result full = run_command({scan, "-m", tata(), fasta}, "", "/dev/full");
    EXPECT_EQ(full.err, "motif_scan: standard output: No space left on device\n");
    EXPECT_EQ(full.status, 1);
}

}  // namespace
