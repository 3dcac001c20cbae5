// motif_peaks against the programs it gathers, on the shipped examples: its
// known table is motif_enrich's, its new motifs motif_discover's and its
// sites motif_scan's for the same inputs, the same for any threads; and its
// report loads nothing from outside.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
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

// The summary of sets whose known.tsv is given: CTCF's two matrices (in the
// shipped file, read without -m) are one family, the second next to the
// first though Arnt has a better q; a motif in no file is a family alone.
TEST(MotifPeaks, SummaryGroupsFamiliesAndNeighboursAlikeSets) {
    const struct {
        const char* set;
        double ctcf, ctcf_long, arnt, nowhere;  // q
    } sets[] = {{"a", 1e-20, 1e-5, 1e-10, 1e-3}, {"b", 1e-3, 1e-8, 1e-2, 0.5}, {"c", 1e-19, 1e-6, 1e-11, 1e-3}, {"d", 1e-4, 1e-9, 1e-2, 0.4}};
    scratch_dir dir;
    std::vector<std::string> args = {peaks, "--summary", "--html", dir / "summary.html"};
    for (const auto& s : sets) {
        std::string table = "rank\tmotif\tconsensus\t3\t4\t5\t6\t7\t8\t9\tlog10_p\tp\tq\n";
        const std::pair<const char*, double> rows[] = {
            {"MA0139.1_CTCF", s.ctcf}, {"MA0004.1_Arnt", s.arnt}, {"MA2026.1_CTCF", s.ctcf_long}, {"nowhere", s.nowhere}};
        for (const auto& [motif, q] : rows) {
            std::ostringstream line;
            line << "1\t" << motif << "\tN\t0\t0\t0\t0\t0\t0\t0\t0\t0\t" << q << "\n";
            table += line.str();
        }
        std::filesystem::create_directory(dir / s.set);
        write_file(dir / s.set + "/known.tsv", table);
        args.push_back(dir / s.set);
    }
    const command_result run = run_command(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "motif\tfamily\ta\tb\tc\td\n"
                       "MA0139.1_CTCF\tMA0139.1_CTCF\t-20\t-3\t-19\t-4\n"
                       "MA2026.1_CTCF\tMA0139.1_CTCF\t-5\t-8\t-6\t-9\n"
                       "MA0004.1_Arnt\tMA0004.1_Arnt\t-10\t-2\t-11\t-2\n"
                       "nowhere\tnowhere\t-3\t-0.301\t-3\t-0.3979\n");
    EXPECT_EQ(run.err, "motif_peaks: warning: 1 of the 4 motifs are in no motif file given: each is a family of its own\n");
    // a and c alike, b and d alike: each pair side by side.
    const std::string page = read_file(dir / "summary.html");
    std::string columns;
    for (std::size_t at = page.find("<th>"); at != std::string::npos; at = page.find("<th>", at + 1)) columns += page[at + 4];
    const auto apart = [&](char x, char y) { return std::abs(static_cast<int>(columns.find(x)) - static_cast<int>(columns.find(y))); };
    EXPECT_EQ(columns.size(), 4u);
    EXPECT_EQ(apart('a', 'c'), 1) << columns;
    EXPECT_EQ(apart('b', 'd'), 1) << columns;
    EXPECT_NE(page.find("rowspan=\"2\">MA0139.1_CTCF</td><td class=\"name\">MA0139.1_CTCF</td>"), std::string::npos);
}

// On a terminal, a bar redrawn in place under the step lines, gone at the
// end: the terminal shows what a file gets.
TEST(MotifPeaks, OnATerminalABarAmongTheSameLines) {
    scratch_dir dir;
    const std::vector<std::string> args = {peaks, "-o", dir / "out", "--top", "1", "--nmotifs", "1", examples + "/peaks.fa"};
    const command_result plain = run_command(args);
    ASSERT_EQ(plain.status, 0) << plain.err;
    int terminal = -1;
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 200;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, &size);
    if (child < 0) GTEST_SKIP() << "no pseudo-terminal";
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    std::string seen;
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;) seen.append(buffer, static_cast<std::size_t>(n));
    ::close(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
    EXPECT_NE(seen.find("\r[#################...] 7/8 writing the report\x1b[K"), std::string::npos) << seen;
    // What the terminal shows, the times taken out: "\r" goes back to the
    // line's start, ESC [K erases to its end.
    const auto shown = [](const std::string& text) {
        std::vector<std::string> lines(1);
        std::size_t column = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                lines.emplace_back();
                column = 0;
            } else if (text[i] == '\r') {
                column = 0;
            } else if (text.compare(i, 3, "\x1b[K") == 0) {
                lines.back().resize(column);
                i += 2;
            } else {
                lines.back().resize(std::max(lines.back().size(), column + 1));
                lines.back()[column++] = text[i];
            }
        }
        for (std::string& line : lines) line = std::regex_replace(line, std::regex(" \\([0-9.]+ s\\)$"), "");
        return lines;
    };
    EXPECT_EQ(shown(seen), shown(plain.err));
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
