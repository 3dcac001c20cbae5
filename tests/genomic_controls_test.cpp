// Targets read from a genome's regions and controls drawn from it: the GC
// map's counts against counting the bases, the draws' promises (length, GC
// bin, N share, no overlap, the same for any threads) checked on the
// genome's own bases, and motif_enrich and motif_discover with --regions
// against the same runs on the regions cut out as FASTA.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
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

std::string in_one_line(const std::string& program, const std::string& message) {
    return program.substr(program.rfind('/') + 1) + ": " + message + "\n";
}

std::string as_bed(const std::vector<genome_region>& regions) {
    std::string bed;
    for (const genome_region& r : regions) bed += r.chromosome + "\t" + std::to_string(r.start) + "\t" + std::to_string(r.end) + "\n";
    return bed;
}

// How many of `regions` share a base with one of `others`.
std::size_t overlapping(const std::vector<genome_region>& regions, const std::vector<genome_region>& others) {
    std::size_t count = 0;
    for (const genome_region& r : regions)
        count += std::any_of(others.begin(), others.end(), [&](const genome_region& o) {
            return o.chromosome == r.chromosome && o.start < r.end && r.start < o.end;
        });
    return count;
}

// Controls drawn (gc, shuffle) or given as regions of the genome.
TEST(RegionEnrich, TheTableOfTheRegionsAndTheirControlsCutOut) {
    const genome_files& files = shared_genome();
    scratch_dir dir;
    const std::vector<genome_region> targets = random_targets(files, 400, 9), others = random_targets(files, 300, 10);
    const std::string bed = as_bed(targets);
    write_file(dir / "peaks.bed", bed);
    write_file(dir / "others.bed", as_bed(others));
    const std::vector<std::string> motifs = {"-m", jaspar, "--motif", "MA0139.1", "--motif", "MA0060.3", "--motif", "MA0108.2", "-p", "1e-3"};
    for (const std::string background : {"gc", "shuffle", "regions"}) {
        SCOPED_TRACE(background);
        std::vector<std::string> args = {enrich, "--regions", dir / "peaks.bed", "--genome", files.bgzip, "--control-out", dir / "controls"};
        if (background == "regions") {
            args.insert(args.end(), {"--control-regions", dir / "others.bed"});
        } else {
            args.insert(args.end(), {"--shuffles", "2", "--background", background});
        }
        args.insert(args.end(), motifs.begin(), motifs.end());
        const command_result run = run_command(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::size_t targets_over = overlapping(targets, others), others_over = overlapping(others, targets);
        const std::string overlaps = "warning: " + std::to_string(targets_over) + " of 400 targets overlap a control region, and " +
                                     std::to_string(others_over) + " of 300 control regions a target";
        EXPECT_EQ(run.err, background != "regions" ? "" : in_one_line(enrich, overlaps));
        const std::string controls = read_file(dir / "controls");
        // What users would do: cut the regions out, and give the controls as a file.
        write_file(dir / "targets.fa", cut_out(files, bed));
        write_file(dir / "controls.fa", background == "shuffle" ? controls : cut_out(files, controls));
        if (background != "shuffle") {
            EXPECT_EQ(lines_of(controls).size(), background == "gc" ? 800u : 300u);
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

// Two chromosomes of random bases as FASTA, lines of `width`, chrA's header
// line with `extra` after its name.
std::string small_genome(int width, const std::string& extra = "") {
    std::mt19937_64 random(4);
    std::string text;
    for (const auto& [name, length] : {std::pair<std::string, int>{"chrA" + extra, 250}, {"chrB", 130}}) {
        text += ">" + name + "\n";
        for (int i = 1; i <= length; ++i) text += std::string(1, "ACGT"[random() % 4]) + (i % width && i < length ? "" : "\n");
    }
    return text;
}

// The runs of every program on each path that reads regions of a genome.
std::vector<std::vector<std::string>> every_program(const std::string& peaks, const std::string& genome) {
    return {{scan, "--regions", peaks, "-m", jaspar, "--motif", "MA0139.1", genome},
            {enrich, "--regions", peaks, "-m", jaspar, "--motif", "MA0139.1", "--genome", genome},
            {enrich, "--regions", peaks, "-m", jaspar, "--motif", "MA0139.1", "--background", "shuffle", "--control-out", peaks + ".fa", "--genome", genome},
            {discover, "--regions", peaks, "--nmotifs", "1", "--background", "shuffle", "--genome", genome}};
}

// A fault of the genome or its index is named in one line by every program,
// rather than bases read from the wrong place or a crash.
TEST(GenomeFiles, FaultsOfTheFileOrItsIndexAreNamedByEveryProgram) {
    const std::string good = small_genome(60);
    const auto indexed = [](const std::string& path) {
        genome_file built;
        std::string error;
        ASSERT_TRUE(open_genome(path, built, error)) << error;
    };
    // The index of `before`, then the file rewritten, the index `age` seconds younger.
    const auto stale = [&](const std::string& before, const std::string& now, int age) {
        return [=](const std::string& path) {
            write_file(path, before);
            indexed(path);
            write_file(path, now);
            std::filesystem::last_write_time(path + ".fai", std::filesystem::last_write_time(path) + std::chrono::seconds(age));
        };
    };
    const auto plain = [](const std::string& text) { return [=](const std::string& path) { write_file(path, text); }; };
    const std::string stale_record = " is not as the index genome.fa.fai has it (an index of an older file? rebuild it with samtools faidx)";
    const struct {
        std::function<void(const std::string&)> make;
        std::string message;
    } cases[] = {
        {stale(good, small_genome(60, " chromosome A"), 10), "genome.fa: record chrA" + stale_record},
        {stale(good, small_genome(70), 10), "genome.fa: record chrA" + stale_record},
        {stale(good, good.substr(0, good.size() - 20), 10), "genome.fa: record chrB" + stale_record},
        {stale(good, good, -10), "genome.fa.fai: older than genome.fa, so perhaps of another file: rebuild it with samtools faidx"},
        {plain(good + "\n>chrA\nACGT\n"), "genome.fa: two records named chrA (faidx reads the first only)"},
        {plain(good.substr(0, 100) + good.substr(107)), "genome.fa: uneven lines: record chrA line 3 has 53 bases, its first 60 (faidx needs lines of one length but the last)"},
        {plain(">chr0 nothing\n" + good), "genome.fa: record chr0 is empty: faidx indexes no record without bases"},
        {[](const std::string& path) { std::filesystem::create_directory(path); }, "genome.fa: is a directory, not a FASTA file"},
        {[&](const std::string& path) { write_bgzip(path, good); std::filesystem::resize_file(path, 100); },
         "genome.fa: truncated: its bgzip end-of-file block is missing"},
        {[&](const std::string& path) { write_bgzip(path, good); indexed(path); write_file(path + ".gzi", "?"); },
         "genome.fa.gzi: not a bgzip index of genome.fa (rebuild it with samtools faidx)"},
    };
    for (const auto& c : cases) {
        scratch_dir dir;
        const std::string genome = dir / "genome.fa";
        write_file(dir / "peaks.bed", "chrA\t10\t200\nchrB\t20\t120\n");
        c.make(genome);
        std::string expected = c.message;
        for (std::size_t at = 0; (at = expected.find("genome.fa", at)) != std::string::npos; at += genome.size()) expected.replace(at, 9, genome);
        for (const auto& args : every_program(dir / "peaks.bed", genome)) {
            const command_result r = run_command(args);
            EXPECT_EQ(r.status, 1) << args[0];
            EXPECT_EQ(r.err, in_one_line(args[0], expected));
        }
    }
}

// A shared genome in a folder this user cannot write to, as root never sees
// one: each is opened by a child that has become the user nobody.
TEST(GenomeFiles, AMissingIndexInAReadOnlyFolderIsNamed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to become the user nobody";
    scratch_dir dir;
    write_file(dir / "plain.fa", small_genome(60));
    for (const std::string name : {"none.fa.gz", "no_gzi.fa.gz"}) write_bgzip(dir / name, small_genome(60));
    genome_file genome;
    std::string error;
    ASSERT_TRUE(open_genome(dir / "no_gzi.fa.gz", genome, error)) << error;
    std::filesystem::remove(dir / "no_gzi.fa.gz.gzi");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) ::chmod(entry.path().c_str(), 0644);
    ::chmod(dir.path.c_str(), 0755);
    for (const std::string missing : {"plain.fa.fai", "none.fa.gz.fai", "no_gzi.fa.gz.gzi"}) {
        const std::string file = dir / missing.substr(0, missing.size() - 4);
        const std::string expected = file + ": no index " + dir / missing + ", and its folder is not writable to build it: its owner can run " +
                                     "samtools faidx on it, or give --genome a copy in a writable folder";
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(::setgid(65534) != 0 || ::setuid(65534) != 0 ? 3 : open_genome(file, genome, error) ? 4 : error == expected ? 0 : 5);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_EQ(status, 0) << missing << ": exit " << WEXITSTATUS(status) << ", signal " << WTERMSIG(status);
    }
}

// Targets and controls of no use are told of in one warning line: regions
// of no base (left out by every program), and controls fewer than a tenth of
// the targets, given as FASTA or drawn from the genome.
TEST(RegionRecords, TargetsAndControlsOfNoUseAreWarnedOf) {
    scratch_dir dir;
    std::string bed = "chr2\t100\t400\nchr2\t700\t800\nchr2\t500\t500\nchr1\t9\t9\n", records;
    for (const genome_region& t : random_targets(shared_genome(), 298, 12))
        bed += t.chromosome + "\t" + std::to_string(t.start) + "\t" + std::to_string(t.end) + "\n";
    write_file(dir / "peaks.bed", bed);
    for (int i = 0; i < 320; ++i) records += ">" + std::to_string(i) + "\n" + small_genome(300).substr(6, 120) + "\n";
    const std::size_t thirty = records.find(">30\n"), one = records.find(">1\n"), two = records.find(">2\n");
    write_file(dir / "targets.fa", records.substr(thirty));  // 290
    write_file(dir / "29.fa", records.substr(one, thirty - one));
    write_file(dir / "28.fa", records.substr(two, thirty - two));
    // 20 targets in the N run the genome starts with draw no control.
    bed = "chr2\t1000\t1200\n";
    for (int i = 0; i < 20; ++i) bed += "chr1\t" + std::to_string(i) + "\t" + std::to_string(i + 5) + "\n";
    write_file(dir / "undrawn.bed", bed);
    const std::string few = " targets: fewer than a tenth as many, too few to find a motif enriched";
    std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{enrich, "-m", jaspar, "--motif", "MA0139.1", dir / "targets.fa", dir / "28.fa"}, "warning: 28 controls for 290" + few},
        {{enrich, "-m", jaspar, "--motif", "MA0139.1", dir / "targets.fa", dir / "29.fa"}, ""},
        {{discover, "--nmotifs", "1", dir / "targets.fa", dir / "28.fa"}, "warning: 28 controls for 290" + few},
        {{enrich, "-m", jaspar, "--motif", "MA0139.1", "--regions", dir / "undrawn.bed", "--genome", shared_genome().plain},
         "warning: 1 control for 21" + few},
    };
    for (const auto& args : every_program(dir / "peaks.bed", shared_genome().plain))
        cases.emplace_back(args, "warning: 2 of 302 regions left out, empty (start = end); the first: " + dir / "peaks.bed: line 3");
    for (const auto& [args, warning] : cases) {
        const command_result r = run_command(args);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::size_t undrawn = r.err.find("controls not drawn") == std::string::npos ? 0 : r.err.find('\n') + 1;
        EXPECT_EQ(r.err.substr(undrawn), warning.empty() ? "" : in_one_line(args[0], warning)) << args.back();
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
        {"--control-regions", "others.bed", "targets.fa"},
        {"--regions", "peaks.bed", "--genome", files.plain, "--control-regions", "others.bed", "--shuffles", "2"},
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
