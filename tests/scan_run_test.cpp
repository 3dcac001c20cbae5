// motif_scan run as a user would: the worked example, gzip and plain input,
// any number of threads, and every error and usage path.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "helpers.h"
#include "run_command.h"
#include "scan.h"

namespace {

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

std::string gzip(const std::string& text) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, text.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
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
        matrix_file file;
        std::string error;
        ASSERT_TRUE(read_matrix_file(path, 1000, file, error)) << error;
        matrices.push_back(prepare_matrix(file, {false, 0.002}));
    }
    EXPECT_EQ(one.out, plain_scan(fasta, matrices, {}));
    for (const char* threads : {"2", "3", "8"}) {
        EXPECT_EQ(run_command(with({"-j", threads, dir / "big.fa"})).out, one.out) << threads;
    }
    EXPECT_EQ(run_command(with({"--threads=2", dir / "big.fa.gz"})).out, one.out);
    // Files are scanned in the order given.
    EXPECT_EQ(run_command(with({examples + "/promoters.fa", dir / "big.fa"})).out,
              run_command(with({examples + "/promoters.fa"})).out + one.out);
}

TEST_F(ScanRun, HelpAndVersion) {
    const command_result help = run_command({scan, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: motif_scan [options] -m MATRIX", 0), 0u);
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
        {{"-m", tata(), "-s", "1e999"}, "option -s: '1e999' is not a number"},
        {{"-m", tata(), "-s", "3", "-p", "0.01"}, "options -p and -s exclude each other"},
        {{"-m", tata(), "-j", "0"}, "option -j: '0' is not a whole number of at least 1"},
        {{"-m", tata(), "-j", "1.5"}, "option -j: '1.5' is not a whole number of at least 1"},
        {{"-m", tata(), "--strand", "x"}, "option --strand: 'x' is not both, + or -"},
        {{"-m", tata(), "-x"}, "unknown option -x"},
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
        {{"-m", dir / "empty.matrix", fasta}, "", dir / "empty.matrix: the matrix has no positions"},
        {{"-m", dir / "wide.matrix", fasta}, "",
         dir / "wide.matrix: line 1: more than 1000 positions"},
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
