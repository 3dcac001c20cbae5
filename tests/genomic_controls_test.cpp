// Targets read from a genome's regions and controls drawn from it: the GC
// map's counts against counting the bases, the draws' promises (length, GC
// bin, N share, no overlap, the same for any threads) checked on the
// genome's own bases, and motif_enrich and motif_discover with --regions
// against the same runs on the regions cut out as FASTA.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "gc_content.h"
#include "genome_files.h"
#include "genomic_controls.h"
#include "helpers.h"
#include "run_command.h"

namespace {

const std::string enrich = MOTIF_ENRICH_EXE;
const std::string discover = MOTIF_DISCOVER_EXE;
const std::string scan = MOTIF_SCAN_EXE;
const std::string jaspar = std::string(EXAMPLES_DIR) + "/jaspar2022_core_vertebrates.jaspar";

struct counts {
    std::int64_t gc = 0, other = 0;
};

counts counted(const std::string& bases) {
    counts c;
    for (const char b : bases) {
        const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(b)));
        c.gc += u == 'C' || u == 'G';
        c.other += u != 'A' && u != 'C' && u != 'G' && u != 'T';
    }
    return c;
}

genome_file opened(const std::string& path) {
    genome_file genome;
    std::string error;
    EXPECT_TRUE(open_genome(path, genome, error)) << error;
    return genome;
}

TEST(GenomeGc, CountsOfAnyWindowAreTheBasesCounts) {
    const genome_files& files = shared_genome();
    std::mt19937_64 random(3);
    for (const auto& [path, threads] : {std::pair<std::string, unsigned>{files.plain, 1}, {files.bgzip, 1}, {files.bgzip, 3}}) {
        SCOPED_TRACE(path + " on " + std::to_string(threads) + " threads");
        const genome_file genome = opened(path);
        genome_gc gc;
        std::string error;
        ASSERT_TRUE(read_genome_gc(genome, threads, gc, error)) << error;
        for (std::size_t c = 0; c < genome.chromosomes.size(); ++c) {
            const std::string& bases = files.of(genome.chromosomes[c].first);
            const auto length = static_cast<std::int64_t>(bases.size());
            // Whole chromosomes, their ends, and windows of every size across words and runs.
            std::vector<std::pair<std::int64_t, std::int64_t>> windows = {{0, length}, {0, 1}, {length - 1, length}, {0, 0}};
            for (int k = 0; k < 300; ++k) {
                const auto from = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(length));
                windows.emplace_back(from, std::min(length, from + static_cast<std::int64_t>(random() % 700)));
            }
            for (const auto& [from, to] : windows) {
                const counts expected = counted(bases.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
                const std::int64_t at = gc.starts[c];
                ASSERT_EQ(gc.gc_count(at + from, at + to), expected.gc) << genome.chromosomes[c].first << ":" << from << "-" << to;
                ASSERT_EQ(gc.other_count(at + from, at + to), expected.other) << genome.chromosomes[c].first << ":" << from << "-" << to;
            }
        }
    }
}

TEST(GenomeGc, BinsAreTwentiethsWithTheLastClosed) {
    const struct {
        std::int64_t gc, bases;
        int bin;
    } cases[] = {{0, 10, 0}, {1, 21, 0}, {1, 20, 1}, {19, 20, 19}, {20, 20, 19}, {399, 400, 19}, {9, 20, 9}, {10, 20, 10}, {0, 0, -1}};
    for (const auto& c : cases) EXPECT_EQ(gc_bin(c.gc, c.bases), c.bin) << c.gc << " of " << c.bases;
}

std::vector<genome_region> random_targets(const genome_files& files, std::size_t count, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<genome_region> targets;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& [name, bases] = files.bases[random() % 2];  // chr1 and chr2
        const auto length = 50 + static_cast<std::int64_t>(random() % 500);
        const auto start = static_cast<std::int64_t>(random() % (bases.size() - static_cast<std::size_t>(length)));
        targets.push_back({name, start, start + length, -1, i + 1});
    }
    return targets;
}

TEST(GenomicControls, EachHasItsTargetsLengthAndGcBinFewNsAndNoTarget) {
    const genome_files& files = shared_genome();
    const genome_file genome = opened(files.bgzip);
    genome_gc gc;
    std::string error;
    ASSERT_TRUE(read_genome_gc(genome, 2, gc, error)) << error;
    std::vector<genome_region> targets = random_targets(files, 300, 5);
    // Two of nothing but N, which have no GC content.
    targets.push_back({"chr2", 2000, 2010, -1, 301});
    targets.push_back({"chrM", 0, 25, -1, 302});
    std::size_t undrawn = 0;
    const std::vector<genomic_control> controls = gc_matched_controls(genome, gc, targets, 3, 7, 1, undrawn);
    const auto bin_of = [&](const std::string& chromosome, std::int64_t start, std::int64_t end) {
        const counts c = counted(files.of(chromosome).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
        return std::make_pair(gc_bin(c.gc, end - start - c.other), c.other);
    };
    EXPECT_EQ(undrawn, 6u);
    std::vector<std::size_t> per_target(targets.size());
    std::size_t last_target = 0;
    for (const genomic_control& c : controls) {
        const genome_region& t = targets[c.target];
        const genome_region& r = c.region;
        EXPECT_GE(c.target, last_target);  // in the order of targets
        last_target = c.target;
        ++per_target[c.target];
        EXPECT_EQ(r.end - r.start, t.end - t.start);
        EXPECT_GE(r.start, 0);
        EXPECT_LE(r.end, files.length(r.chromosome));
        const auto [bin, others] = bin_of(r.chromosome, r.start, r.end);
        EXPECT_EQ(bin, bin_of(t.chromosome, t.start, t.end).first) << region_name(r) << " for " << region_name(t);
        EXPECT_LE(4 * others, r.end - r.start);
        for (const genome_region& other : targets)
            EXPECT_FALSE(other.chromosome == r.chromosome && other.start < r.end && r.start < other.end)
                << region_name(r) << " overlaps " << region_name(other);
    }
    for (std::size_t i = 0; i < targets.size(); ++i) EXPECT_EQ(per_target[i], i >= 300 ? 0u : 3u) << i;

    // The same draws for any threads; others for another seed.
    std::size_t again = 0;
    const auto same = [](const std::vector<genomic_control>& a, const std::vector<genomic_control>& b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (region_name(a[i].region) != region_name(b[i].region) || a[i].target != b[i].target) return false;
        return true;
    };
    EXPECT_TRUE(same(controls, gc_matched_controls(genome, gc, targets, 3, 7, 4, again)));
    EXPECT_FALSE(same(controls, gc_matched_controls(genome, gc, targets, 3, 8, 4, again)));
}

// The tab-separated lines of a text.
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// The regions of a BED text cut out of the genome as FASTA, named chrom:start-end.
std::string cut_out(const genome_files& files, const std::string& bed) {
    std::string fasta;
    for (const std::string& line : lines_of(bed)) {
        const std::size_t a = line.find('\t'), b = line.find('\t', a + 1), c = line.find('\t', b + 1);
        const std::string chromosome = line.substr(0, a);
        const std::int64_t start = std::stoll(line.substr(a + 1, b - a - 1)), end = std::stoll(line.substr(b + 1, c - b - 1));
        fasta += ">" + chromosome + ":" + std::to_string(start) + "-" + std::to_string(end) + "\n" +
                 files.of(chromosome).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)) + "\n";
    }
    return fasta;
}

TEST(RegionEnrich, TheTableOfTheRegionsAndTheirControlsCutOut) {
    const genome_files& files = shared_genome();
    scratch_dir dir;
    std::string bed;
    for (const genome_region& t : random_targets(files, 400, 9))
        bed += t.chromosome + "\t" + std::to_string(t.start) + "\t" + std::to_string(t.end) + "\n";
    write_file(dir / "peaks.bed", bed);
    const std::vector<std::string> motifs = {"-m", jaspar, "--motif", "MA0139.1", "--motif", "MA0060.3", "--motif", "MA0108.2", "-p", "1e-3"};
    for (const std::string background : {"gc", "shuffle"}) {
        SCOPED_TRACE(background);
        std::vector<std::string> args = {enrich, "--regions", dir / "peaks.bed", "--genome", files.bgzip, "--shuffles", "2",
                                         "--background", background, "--control-out", dir / "controls"};
        args.insert(args.end(), motifs.begin(), motifs.end());
        const command_result run = run_command(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const std::string controls = read_file(dir / "controls");
        // What users would do: cut the regions out, and give the controls as a file.
        write_file(dir / "targets.fa", cut_out(files, bed));
        write_file(dir / "controls.fa", background == "gc" ? cut_out(files, controls) : controls);
        if (background == "gc") {
            EXPECT_EQ(lines_of(controls).size(), 800u);
        }
        std::vector<std::string> by_hand = {enrich, dir / "targets.fa", dir / "controls.fa"};
        by_hand.insert(by_hand.end(), motifs.begin(), motifs.end());
        EXPECT_EQ(run.out, run_command(by_hand).out);
        // The same for any threads.
        args.insert(args.end(), {"-j", "1"});
        EXPECT_EQ(run_command(args).out, run.out);
        EXPECT_EQ(read_file(dir / "controls"), controls);
    }
}

TEST(RegionDiscover, FindsAMotifPlantedInTheGenomesPeaks) {
    // The genome with CTCF's consensus planted in the middle of 150 of 300 peaks.
    std::vector<chromosome> bases = generated_genome();
    std::string bed;
    std::mt19937_64 random(11);
    const std::string site = "CCGCGAGGGGGCGCC", reverse = "GGCGCCCCCTCGCGG";
    for (std::size_t i = 0; i < 300; ++i) {
        const std::size_t start = 2000 + i * 4000 + random() % 1000;
        bed += "chr1\t" + std::to_string(start) + "\t" + std::to_string(start + 200) + "\n";
        if (i % 2 == 0) bases[0].second.replace(start + 90, site.size(), random() % 2 ? site : reverse);
    }
    scratch_dir dir;
    write_file(dir / "genome.fa", as_fasta(bases, 70));
    write_file(dir / "peaks.bed", bed);
    std::vector<std::string> args = {discover, "--regions", dir / "peaks.bed", "--genome", dir / "genome.fa", "--nmotifs", "1",
                                     "--control-out", dir / "controls.bed"};
    const command_result run = run_command(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("MOTIF 1-"), std::string::npos) << run.out;
    const std::size_t id = run.out.find("MOTIF 1-") + 8;
    const std::string consensus = run.out.substr(id, run.out.find(' ', id) - id);
    EXPECT_TRUE(site.find(consensus) != std::string::npos || reverse.find(consensus) != std::string::npos ||
                consensus.find(site.substr(2, 11)) != std::string::npos || consensus.find(reverse.substr(2, 11)) != std::string::npos)
        << run.out;
    EXPECT_EQ(lines_of(read_file(dir / "controls.bed")).size(), 300u);
    args.insert(args.end(), {"-j", "1"});
    EXPECT_EQ(run_command(args).out, run.out);
}

// Two chromosomes of random bases as FASTA, lines of `width`, with a header
// `extra` after chrA's name.
std::string small_genome(std::size_t width, const std::string& extra = "") {
    std::mt19937_64 random(4);
    std::vector<chromosome> bases = {{"chrA", std::string(250, 'A')}, {"chrB", std::string(130, 'A')}};
    for (auto& [name, b] : bases)
        for (char& c : b) c = "ACGT"[random() % 4];
    std::string text = as_fasta(bases, width);
    text.replace(text.find(" generated"), 10, extra);
    return text.replace(text.find(" generated"), 10, "");
}

// Every program that reads a genome's regions, on every path: each must
// find the genome file or its index at fault, in one line.
TEST(GenomeFiles, FaultsOfTheFileOrItsIndexAreNamedByEveryProgram) {
    const std::string good = small_genome(60);
    std::string uneven = good, empty = good;
    uneven.erase(uneven.find('\n', 70) - 7, 7);
    empty.insert(0, ">chr0 nothing\n");
    std::string shortened = good;
    shortened.erase(shortened.rfind('\n', shortened.size() - 2) + 1);
    const struct {
        std::string what, indexed, fasta, message;  // `indexed`: the text the index is of, where not `fasta`
        bool older = false;
    } cases[] = {
        {"a header line longer than the index has it", good, small_genome(60, " chromosome A"),
         "genome.fa: record chrA is not as the index genome.fa.fai has it (an index of an older file? rebuild it with samtools faidx)"},
        {"lines wrapped anew", good, small_genome(70),
         "genome.fa: record chrA is not as the index genome.fa.fai has it (an index of an older file? rebuild it with samtools faidx)"},
        {"a record shorter than the index has it", good, shortened,
         "genome.fa: record chrB is not as the index genome.fa.fai has it (an index of an older file? rebuild it with samtools faidx)"},
        {"an index older than the file", good, good, "genome.fa.fai: older than genome.fa, so perhaps of another file: rebuild it with samtools faidx", true},
        {"two records of one name, apart", "", good + ">chrA\nACGT\n", "genome.fa: two records named chrA (faidx reads the first only)"},
        {"two records of one name, together", "", ">chrA x\nAC\n" + good, "genome.fa: two records named chrA (faidx reads the first only)"},
        {"uneven lines", "", uneven, "genome.fa: uneven lines: record chrA line 3 has 53 bases, its first 60 (faidx needs lines of one length but the last)"},
        {"an empty record", "", empty, "genome.fa: record chr0 is empty: faidx indexes no record without bases"},
        {"a directory", "", "", "genome.fa: is a directory, not a FASTA file"},
    };
    const std::vector<std::vector<std::string>> runs = {
        {scan, "-m", jaspar, "--motif", "MA0139.1"},
        {enrich, "-m", jaspar, "--motif", "MA0139.1", "--genome"},
        {enrich, "-m", jaspar, "--motif", "MA0139.1", "--background", "shuffle", "--control-out", "controls.fa", "--genome"},
        {discover, "--background", "shuffle", "--genome"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        scratch_dir dir;
        const std::string genome = dir / "genome.fa";
        write_file(dir / "peaks.bed", "chrA\t10\t200\nchrB\t20\t120\n");
        if (c.fasta.empty()) {
            std::filesystem::create_directory(genome);
        } else if (!c.indexed.empty()) {
            write_file(genome, c.indexed);
            genome_file built;
            std::string error;
            ASSERT_TRUE(open_genome(genome, built, error)) << error;
            write_file(genome, c.fasta);
            const auto written = std::filesystem::last_write_time(genome);
            std::filesystem::last_write_time(genome + ".fai", written + std::chrono::seconds(c.older ? -10 : 10));
        } else {
            write_file(genome, c.fasta);
        }
        std::string expected = c.message;
        for (std::size_t at = 0; (at = expected.find("genome.fa", at)) != std::string::npos; at += genome.size())
            expected.replace(at, 9, genome);
        for (std::vector<std::string> args : runs) {
            args.insert(args.begin() + 1, {"--regions", dir / "peaks.bed"});
            args.push_back(genome);
            for (std::string& a : args)
                if (a == "controls.fa") a = dir / a;
            const command_result r = run_command(args);
            EXPECT_EQ(r.status, 1) << args[0];
            EXPECT_EQ(r.err, args[0].substr(args[0].rfind('/') + 1) + ": " + expected + "\n") << args[0];
        }
    }
}

// bgzip FASTA files: a truncated one, and a .gzi of another file.
TEST(GenomeFiles, BrokenBgzipFilesAreNamed) {
    const genome_files& files = shared_genome();
    scratch_dir dir;
    const std::string whole = read_file(files.bgzip);
    write_file(dir / "cut.fa.gz", whole.substr(0, whole.size() / 2));
    write_file(dir / "cut_at_eof.fa.gz", whole.substr(0, whole.size() / 2) + whole.substr(whole.size() - 28));
    write_file(dir / "bad_gzi.fa.gz", whole);
    write_file(dir / "bad_gzi.fa.gz.gzi", "not an index");
    write_file(dir / "bad_gzi.fa.gz.fai", "chr2\t30000\t100\t60\t61\n");
    const struct {
        std::string file, message;
    } cases[] = {
        {"cut.fa.gz", "cut.fa.gz: truncated: its bgzip end-of-file block is missing"},
        {"cut_at_eof.fa.gz", "cut_at_eof.fa.gz: truncated or corrupt bgzip data"},
        {"bad_gzi.fa.gz", "bad_gzi.fa.gz.gzi: not a bgzip index of " + (dir / "bad_gzi.fa.gz") + " (rebuild it with samtools faidx)"},
    };
    for (const auto& c : cases) {
        genome_file genome;
        std::string error;
        EXPECT_FALSE(open_genome(dir / c.file, genome, error));
        EXPECT_EQ(error, dir / c.message);
    }
}

// A shared genome in a folder this user cannot write to, as the root user
// never sees one: the test drops to the user nobody in a child.
TEST(GenomeFiles, AMissingIndexInAReadOnlyFolderIsNamed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to become the user nobody";
    const genome_files& files = shared_genome();
    scratch_dir dir;
    const std::string folder = dir / "shared";
    std::filesystem::create_directory(folder);
    const std::string text = as_fasta(files.bases, 60);
    write_file(folder + "/plain.fa", text);
    write_bgzip(folder + "/both.fa.gz", text);
    write_bgzip(folder + "/no_gzi.fa.gz", text);
    for (const std::string name : {"/no_gzi.fa.gz"}) {
        genome_file genome;
        std::string error;
        ASSERT_TRUE(open_genome(folder + name, genome, error)) << error;
        std::filesystem::remove(folder + name + ".gzi");
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) ::chmod(entry.path().c_str(), 0644);
    ::chmod(dir.path.c_str(), 0755);
    ::chmod(folder.c_str(), 0755);
    const std::string advice = ", and its folder is not writable to build it: its owner can run samtools faidx on it, or give --genome a copy in a writable folder";
    const struct {
        std::string file, missing;
    } cases[] = {{"plain.fa", "plain.fa.fai"}, {"both.fa.gz", "both.fa.gz.fai"}, {"no_gzi.fa.gz", "no_gzi.fa.gz.gzi"}};
    for (const auto& c : cases) {
        int pipe_ends[2];
        ASSERT_EQ(::pipe(pipe_ends), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipe_ends[0]);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
            genome_file genome;
            std::string error;
            const bool opened = open_genome(folder + "/" + c.file, genome, error);
            if (::write(pipe_ends[1], error.data(), error.size()) < 0) ::_exit(4);
            ::_exit(opened ? 5 : 0);
        }
        ::close(pipe_ends[1]);
        std::string error;
        char buffer[4096];
        for (ssize_t got; (got = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;) error.append(buffer, static_cast<std::size_t>(got));
        ::close(pipe_ends[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status)) << c.file << " ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0) << c.file;
        EXPECT_EQ(error, folder + "/" + c.file + ": no index " + folder + "/" + c.missing + advice);
    }
}

// A region of no base has no sequence to be a target: every program leaves
// it out with the same one warning line.
TEST(RegionRecords, EmptyRegionsAreLeftOutWithOneWarning) {
    const genome_files& files = shared_genome();
    scratch_dir dir;
    std::string bed;
    for (const genome_region& t : random_targets(files, 300, 12))
        bed += t.chromosome + "\t" + std::to_string(t.start) + "\t" + std::to_string(t.end) + "\n";
    bed.insert(bed.find('\n', bed.find('\n') + 1) + 1, "chr2\t500\t500\nchr1\t9\t9\n");
    write_file(dir / "peaks.bed", bed);
    const std::string warning = ": warning: 2 of 302 regions left out, empty (start = end); the first: " + (dir / "peaks.bed") + ": line 3\n";
    const struct {
        std::string program;
        std::vector<std::string> args;
    } cases[] = {
        {"motif_scan", {scan, "-m", jaspar, "--motif", "MA0139.1", files.plain}},
        {"motif_enrich", {enrich, "-m", jaspar, "--motif", "MA0139.1", "--genome", files.plain}},
        {"motif_enrich", {enrich, "-m", jaspar, "--motif", "MA0139.1", "--background", "shuffle", "--genome", files.plain}},
        {"motif_discover", {discover, "--nmotifs", "1", "--background", "shuffle", "--genome", files.plain}},
    };
    for (auto c : cases) {
        c.args.insert(c.args.begin() + 1, {"--regions", dir / "peaks.bed"});
        const command_result r = run_command(c.args);
        EXPECT_EQ(r.status, 0) << c.program << r.err;
        EXPECT_EQ(r.err, c.program + warning) << c.args.back();
    }
}

// Controls fewer than a tenth of the targets show nothing enriched: both
// programs say so, for controls given as FASTA and drawn from the genome.
TEST(Controls, FewerThanATenthOfTheTargetsAreWarnedOf) {
    scratch_dir dir;
    std::mt19937_64 random(13);
    const auto records = [&](const std::string& name, std::size_t count) {
        std::string fasta;
        for (std::size_t i = 0; i < count; ++i) {
            fasta += ">" + name + std::to_string(i) + "\n";
            for (int k = 0; k < 100; ++k) fasta += "ACGT"[random() % 4];
            fasta += "\n";
        }
        return fasta;
    };
    write_file(dir / "targets.fa", records("t", 300));
    for (const std::size_t n : {1, 29, 30}) write_file(dir / ("controls" + std::to_string(n) + ".fa"), records("c", n));
    // 20 targets in the N runs the genome starts with draw no control.
    std::string bed = "chr2\t1000\t1200\n";
    for (int i = 0; i < 10; ++i)
        for (const std::string chromosome : {"chr1", "chr2"}) bed += chromosome + "\t" + std::to_string(i) + "\t" + std::to_string(i + 10) + "\n";
    write_file(dir / "peaks.bed", bed);
    const std::string few = " for 300 targets: fewer than a tenth as many, too few to find a motif enriched\n";
    const struct {
        std::vector<std::string> args;
        std::string warning;
    } cases[] = {
        {{enrich, "-m", jaspar, "--motif", "MA0139.1", dir / "targets.fa", dir / "controls1.fa"}, "motif_enrich: warning: 1 control" + few},
        {{enrich, "-m", jaspar, "--motif", "MA0139.1", dir / "targets.fa", dir / "controls29.fa"}, "motif_enrich: warning: 29 controls" + few},
        {{enrich, "-m", jaspar, "--motif", "MA0139.1", dir / "targets.fa", dir / "controls30.fa"}, ""},
        {{discover, "--nmotifs", "1", dir / "targets.fa", dir / "controls1.fa"}, "motif_discover: warning: 1 control" + few},
        {{discover, "--nmotifs", "1", dir / "targets.fa", dir / "controls30.fa"}, ""},
        {{enrich, "-m", jaspar, "--motif", "MA0139.1", "--regions", dir / "peaks.bed", "--genome", shared_genome().plain},
         "motif_enrich: warning: 1 control for 21 targets: fewer than a tenth as many, too few to find a motif enriched\n"},
    };
    for (const auto& c : cases) {
        const command_result r = run_command(c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::size_t at = r.err.find("warning: 20 of 21 controls not drawn");
        EXPECT_EQ(at == std::string::npos ? r.err : r.err.substr(r.err.find('\n', at) + 1), c.warning) << c.args.back();
    }
}

TEST(RegionEnrich, UsageErrors) {
    const genome_files& files = shared_genome();
    const std::vector<std::vector<std::string>> cases = {
        {"--background", "gc", "targets.fa"},
        {"--genome", files.plain, "targets.fa"},
        {"--regions", "peaks.bed"},
        {"--regions", "peaks.bed", "--genome", files.plain, "targets.fa"},
        {"--regions", "peaks.bed", "--genome", "-"},
        {"--regions", "peaks.bed", "--genome", files.plain, "--background", "genome"},
        {"--regions", "-", "--genome", files.plain, "-m", "-"},
    };
    for (const std::string& program : {enrich, discover})
        for (const auto& more : cases) {
            std::vector<std::string> args = {program};
            if (program == enrich && more.back() != "-") args.insert(args.end(), {"-m", jaspar});
            args.insert(args.end(), more.begin(), more.end());
            const command_result r = run_command(args);
            EXPECT_EQ(r.status, 2) << program << " " << more[0] << " " << more[1];
            EXPECT_NE(r.err.find("--help')"), std::string::npos) << r.err;
        }
}

}  // namespace
