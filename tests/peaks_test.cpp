// motif_peaks against the programs it gathers, on the shipped examples: its
// known table is motif_enrich's, its new motifs motif_discover's and its
// sites motif_scan's for the same inputs, the same for any threads; and its
// report loads nothing from outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "helpers.h"
#include "run_command.h"

namespace {

const std::string peaks = MOTIF_PEAKS_EXE, enrich = MOTIF_ENRICH_EXE, discover = MOTIF_DISCOVER_EXE, scan = MOTIF_SCAN_EXE;
const std::string examples = EXAMPLES_DIR;
const std::string jaspar = examples + "/jaspar2022_core_vertebrates.jaspar";

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(MotifPeaks, EachFileIsWhatItsProgramWritesTheSameForAnyThreads) {
    const struct {
        const char* name;
        std::vector<std::string> inputs, motifs;
        std::vector<std::string> defaults;  // motif_peaks' own, spelled out for the others
        std::vector<std::string> alike;     // given to every program
    } cases[] = {
        {"regions of a genome, a few known motifs",
         {"--regions", examples + "/peaks.narrowPeak", "--genome", examples + "/genome.fa.gz"},
         {"-m", jaspar, "--motif", "MA0139.1", "--motif", "MA2026.1", "--motif", "MA0099.3", "--motif", "MA1138.1", "--motif",
          "MA0060.3", "--motif", "MA0108.2"},
         {"--summits", "200"}, {}},
        {"FASTA", {examples + "/peaks.fa"}, {"-m", jaspar, "--motif", "MA0099.3", "--motif", "MA0139.1", "--motif", "MA1142.1",
         "--motif", "MA0060.3", "--motif", "MA0108.2", "--motif", "MA0004.1"}, {}, {}},
        {"FASTA under another background", {examples + "/peaks.fa"}, {"-m", jaspar, "--motif", "MA0099.3", "--motif", "MA0139.1",
         "--motif", "MA1142.1", "--motif", "MA0060.3", "--motif", "MA0108.2"}, {}, {"--bg", "0.3,0.2,0.2,0.3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scratch_dir dir;
        const std::vector<std::string> given = joined(c.motifs, joined(c.alike, c.inputs));
        const command_result run = run_command(joined({peaks, "-o", dir / "out", "-j", "2", "--top", "5", "--nmotifs", "1"}, given));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err.find("error"), std::string::npos) << run.err;
        const std::vector<std::string> inputs = joined(c.alike, joined(c.inputs, c.defaults));
        const command_result known = run_command(joined(joined({enrich}, c.motifs), inputs));
        EXPECT_EQ(read_file(dir / "out/known.tsv"), known.out);
        const command_result found = run_command(joined({discover, "--shuffle-kmer", "2", "--nmotifs", "1"}, inputs));
        EXPECT_EQ(read_file(dir / "out/new.meme"), found.out);
        // The sites: the new motifs, then the first known ones in the file's order.
        std::vector<std::string> scanned = {scan, "-m", dir / "out/new.meme", "-m", jaspar};  // --motif picks them
        std::istringstream table(read_file(dir / "out/centrality.tsv"));
        std::string row;
        std::getline(table, row);
        std::size_t listed = 0;
        for (; std::getline(table, row); ++listed) {
            scanned.insert(scanned.end(), {"--motif", row.substr(0, row.find('\t'))});
            // CTCF's sites are planted near the example genome's summits:
            // central in the targets, not in the controls.
            std::vector<std::string> columns;
            std::istringstream fields(row);
            for (std::string field; std::getline(fields, field, '\t');) columns.push_back(field);
            if (columns[0] != "MA0139.1_CTCF" || c.inputs[0] != "--regions") continue;
            EXPECT_LE(std::stoi(columns[3]), 30) << row;
            EXPECT_LE(std::stod(columns[6]), 1e-10) << row;
            EXPECT_GT(std::stod(columns[12]), 0.01) << row;
        }
        std::size_t new_motifs = 0;
        for (std::size_t at = found.out.find("\nMOTIF "); at != std::string::npos; at = found.out.find("\nMOTIF ", at + 1)) ++new_motifs;
        EXPECT_EQ(listed, new_motifs + 5);
        // The summary reads the table whatever line says its background.
        const command_result summary = run_command({peaks, "--summary", dir / "out"});
        EXPECT_EQ(summary.status, 0) << summary.err;
        const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
        EXPECT_EQ(lines(summary.out), lines(known.out) - (known.out.rfind("# background: ", 0) == 0)) << summary.out;
        EXPECT_EQ(read_file(dir / "out/sites.bed"), run_command(joined(scanned, inputs)).out);
        const std::string page = read_file(dir / "out/index.html");
        for (const char* section : {"id=\"inputs\"", "id=\"known\"", "id=\"new\"", "id=\"centrality\"", "<svg"})
            EXPECT_NE(page.find(section), std::string::npos) << section;
        for (const char* outside : {"src=\"http", "href=\"http", "url(", "<script", "<link"})
            EXPECT_EQ(page.find(outside), std::string::npos) << outside;
        ASSERT_EQ(run_command(joined({peaks, "-o", dir / "one", "-j", "1", "--top", "5", "--nmotifs", "1"}, given)).status, 0);
        for (const char* file : {"known.tsv", "new.meme", "new.tsv", "centrality.tsv", "sites.bed", "controls.bed", "index.html"})
            EXPECT_EQ(read_file(dir / "one/" + file), read_file(dir / "out/" + file)) << file;
    }
}

// Without -m, the JASPAR file shipped, found beside the executable in the build tree.
TEST(MotifPeaks, WithoutMotifFilesTheShippedOnes) {
    scratch_dir dir;
    const command_result run = run_command({peaks, "-o", dir.path, "--top", "1", "--nmotifs", "1", examples + "/peaks.fa"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string table = read_file(dir / "known.tsv");
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 839);
}

TEST(MotifPeaks, UsageErrors) {
    const std::string bed = examples + "/peaks.narrowPeak", genome = examples + "/genome.fa.gz";
    const std::vector<std::vector<std::string>> cases = {
        {examples + "/peaks.fa"},
        {"-o", "out"},
        {"-o", "out", "--regions", bed},
        {"-o", "out", "--regions", bed, "--genome", genome, "--control-regions", bed + "2", "--shuffles", "2"},
        {"-o", "out", "--minw", "9", "--maxw", "8", examples + "/peaks.fa"},
        {"-o", "out", "--central-width", "0", examples + "/peaks.fa"},
        {"--summary"},
        {"--summary", "-o", "out", "results"},
    };
    for (const auto& args : cases) {
        const command_result r = run_command(joined({peaks}, args));
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_NE(r.err.find("(try 'motif_peaks --help')"), std::string::npos) << r.err;
    }
}

}  // namespace
