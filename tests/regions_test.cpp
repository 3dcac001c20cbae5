// motif_scan --regions as users run it, against the way they work without
// it: the regions' sequences cut out of the genome (as bedtools getfasta
// writes them), scanned as FASTA and their sites moved onto the
// chromosomes. A generated genome, plain and bgzip, with lower case, N runs
// and a chromosome longer than the reader's stretches; regions overlapping,
// adjacent, at chromosome ends, centred on summits; and every error path.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "genome_files.h"
#include "helpers.h"
#include "run_command.h"

namespace {

const std::string scan = MOTIF_SCAN_EXE;
const std::string jaspar = std::string(EXAMPLES_DIR) + "/jaspar2022_core_vertebrates.jaspar";

struct region {
    std::string chromosome;
    std::int64_t start, end;
};

// What users do without --regions: the union of the regions (bedtools
// merge), each cut out as a record named chrom:start-end (bedtools getfasta).
std::string regions_as_fasta(const genome_files& genome, std::vector<region> regions) {
    std::map<std::string, std::size_t> order;
    for (const auto& [name, bases] : genome.bases) order.emplace(name, order.size());
    std::sort(regions.begin(), regions.end(), [&](const region& a, const region& b) {
        return order[a.chromosome] != order[b.chromosome] ? order[a.chromosome] < order[b.chromosome] : a.start < b.start;
    });
    std::vector<region> merged;
    for (const region& r : regions) {
        if (!merged.empty() && merged.back().chromosome == r.chromosome && r.start <= merged.back().end) {
            merged.back().end = std::max(merged.back().end, r.end);
        } else {
            merged.push_back(r);
        }
    }
    std::string fasta;
    for (const region& r : merged) {
        if (r.start == r.end) continue;
        const std::string& bases = genome.bases[order[r.chromosome]].second;
        fasta += ">" + r.chromosome + ":" + std::to_string(r.start) + "-" + std::to_string(r.end) + "\n" +
                 bases.substr(static_cast<std::size_t>(r.start), static_cast<std::size_t>(r.end - r.start)) + "\n";
    }
    return fasta;
}

// motif_scan's lines for records named chrom:start-end, placed on the chromosomes.
std::string on_chromosomes(const std::string& lines) {
    std::string out;
    for (std::size_t at = 0; at < lines.size();) {
        const std::size_t end = lines.find('\n', at);
        const std::string line = lines.substr(at, end - at);
        const std::size_t colon = line.rfind(':', line.find('\t')), dash = line.find('-', colon), tab = line.find('\t');
        const std::int64_t offset = std::stoll(line.substr(colon + 1, dash - colon - 1));
        const std::size_t tab2 = line.find('\t', tab + 1), tab3 = line.find('\t', tab2 + 1);
        out += line.substr(0, colon) + "\t" + std::to_string(std::stoll(line.substr(tab + 1, tab2 - tab - 1)) + offset) + "\t" +
               std::to_string(std::stoll(line.substr(tab2 + 1, tab3 - tab2 - 1)) + offset) + line.substr(tab3) + "\n";
        at = end + 1;
    }
    return out;
}

std::size_t order_of(const genome_files& genome, const std::string& name) {
    std::size_t place = 0;
    while (genome.bases[place].first != name) ++place;
    return place;
}

std::vector<region> random_regions(const genome_files& genome, std::size_t count, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::vector<region> regions;
    for (std::size_t i = 0; i < count; ++i) {
        // A quarter start where the one before ends: sites across the join
        // are the union's.
        const bool adjacent = !regions.empty() && random() % 4 == 0;
        const std::size_t place = adjacent ? order_of(genome, regions.back().chromosome) : random() % genome.bases.size();
        const auto& [name, bases] = genome.bases[place];
        const auto length = static_cast<std::int64_t>(bases.size());
        const std::int64_t width = std::min<std::int64_t>(length, 50 + static_cast<std::int64_t>(random() % 600));
        std::int64_t start = static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(length - width + 1));
        if (adjacent && regions.back().end + width <= length) start = regions.back().end;
        regions.push_back({name, start, start + width});
    }
    return regions;
}

std::string as_bed(const std::vector<region>& regions) {
    std::string bed = "track name=peaks\n# chrom start end\n";
    for (const region& r : regions) bed += r.chromosome + "\t" + std::to_string(r.start) + "\t" + std::to_string(r.end) + "\tpeak\t0\t+\n";
    return bed;
}

// At p <= 0.01, sites lie across joins of regions, of batches and of the
// reader's stretches.
const std::vector<std::string> motifs = {"-m", jaspar, "--motif", "MA0139.1", "--motif", "MA0060.3", "--motif", "MA0108.2"};

command_result scan_regions(const std::string& bed_path, const std::string& genome, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {scan};
    args.insert(args.end(), motifs.begin(), motifs.end());
    args.insert(args.end(), {"-p", "0.01", "--regions", bed_path});
    args.insert(args.end(), more.begin(), more.end());
    args.push_back(genome);
    return run_command(args);
}

std::string scan_fasta(const std::string& fasta) {
    std::vector<std::string> args = {scan};
    args.insert(args.end(), motifs.begin(), motifs.end());
    args.insert(args.end(), {"-p", "0.01"});
    const command_result r = run_command(args, fasta);
    EXPECT_EQ(r.status, 0) << r.err;
    return on_chromosomes(r.out);
}

TEST(RegionScan, SitesAreThoseOfTheRegionsCutOutAndScanned) {
    const genome_files& genome = shared_genome();
    const std::int64_t chr1 = genome.length("chr1"), chr2 = genome.length("chr2");
    const struct {
        const char* what;
        std::vector<region> regions;
        std::string warning = "";
    } cases[] = {
        {"overlapping, adjacent, repeated and empty",
         {{"chr2", 1000, 1500}, {"chr2", 1400, 2000}, {"chr2", 2000, 2600}, {"chr2", 2000, 2600}, {"chr2", 5000, 5000},
          {"chr2", 900, 1100}, {"chrM", 100, 700}},
         "warning: 1 of 7 regions left out, empty (start = end); the first: peaks.bed: line 7"},
        {"chromosome ends, whole chromosomes",
         {{"chr2", 0, 700}, {"chr2", chr2 - 700, chr2}, {"chrUn_1", 0, 333}, {"chrM", 0, 1600}}},
        {"longer than a batch and a stretch of the reader", {{"chr1", 0, chr1}}},
        {"many, in no order", random_regions(genome, 400, 7)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        scratch_dir dir;
        write_file(dir / "peaks.bed", as_bed(c.regions));
        const std::string expected = scan_fasta(regions_as_fasta(genome, c.regions));
        EXPECT_GT(expected.size(), 0u);
        for (const std::string& path : {genome.plain, genome.bgzip}) {
            const command_result r = scan_regions(dir / "peaks.bed", path);
            EXPECT_EQ(r.status, 0) << r.err;
            std::string warning = c.warning;
            if (!warning.empty()) warning = "motif_scan: " + warning.replace(warning.find("peaks"), 5, dir / "peaks") + "\n";
            EXPECT_EQ(r.err, warning);
            EXPECT_EQ(r.out, expected) << path;
        }
    }
}

// The cut-out regions above are as bedtools getfasta writes them.
TEST(RegionScan, CutOutAsBedtoolsGetfastaDoes) {
    if (std::system("bedtools --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "bedtools is not installed";
    const genome_files& genome = shared_genome();
    const std::vector<region> regions = random_regions(genome, 300, 8);
    const std::string ours = regions_as_fasta(genome, regions);
    scratch_dir dir;
    std::string merged;
    for (std::size_t at = 0; at < ours.size();) {
        const std::size_t end = ours.find('\n', at), colon = ours.rfind(':', end), dash = ours.find('-', colon);
        merged += ours.substr(at + 1, colon - at - 1) + "\t" + ours.substr(colon + 1, dash - colon - 1) + "\t" +
                  ours.substr(dash + 1, end - dash - 1) + "\n";
        at = ours.find('\n', end + 1) + 1;
    }
    write_file(dir / "merged.bed", merged);
    const command_result r = run_command({"/bin/sh", "-c", "bedtools getfasta -fi " + genome.plain + " -bed " + (dir / "merged.bed")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ours);
}

TEST(RegionScan, SummitsCentreTheRegions) {
    const genome_files& genome = shared_genome();
    scratch_dir dir;
    // narrowPeak: the tenth column is the summit's offset, -1 for none.
    write_file(dir / "peaks.narrowPeak",
               "chr2\t1000\t3000\tp1\t50\t.\t8.1\t12.2\t10.5\t700\n"
               "chr2\t5000\t5101\tp2\t50\t.\t8.1\t12.2\t10.5\t-1\n"
               "chr1\t400000\t400020\tp3\t50\t.\t8.1\t12.2\t10.5\t0\n");
    write_file(dir / "peaks.bed", "chr2\t1000\t3000\nchr2\t5000\t5101\n");
    // BED12's tenth column is its count of blocks, gappedPeak's too; a line
    // of exactly 10 columns is narrowPeak, whatever the file's name.
    write_file(dir / "genes.bed", "chr2\t1000\t3000\tg1\t0\t+\t1000\t3000\t0\t2\t100,200\t0,1800\n");
    write_file(dir / "peaks.gappedPeak", "chr2\t1000\t3000\tp1\t0\t.\t1000\t3000\t0\t2\t100,200\t0,1800\t8.1\t12.2\t10.5\n");
    write_file(dir / "ten.bed", "chr2\t1000\t3000\tp1\t50\t.\t8.1\t12.2\t10.5\t700\n");
    write_file(dir / "more.narrowPeak", "chr2\t1000\t3000\tp1\t50\t.\t8.1\t12.2\t10.5\t700\textra\n");
    const struct {
        std::string file, width;
        std::vector<region> centred;
    } cases[] = {
        {"peaks.narrowPeak", "500", {{"chr2", 1450, 1950}, {"chr2", 4800, 5300}, {"chr1", 399750, 400250}}},
        {"peaks.narrowPeak", "201", {{"chr2", 1600, 1801}, {"chr2", 4950, 5151}, {"chr1", 399900, 400101}}},
        {"peaks.bed", "1000", {{"chr2", 1500, 2500}, {"chr2", 4550, 5550}}},
        {"genes.bed", "500", {{"chr2", 1750, 2250}}},
        {"peaks.gappedPeak", "500", {{"chr2", 1750, 2250}}},
        {"ten.bed", "500", {{"chr2", 1450, 1950}}},
        {"more.narrowPeak", "500", {{"chr2", 1450, 1950}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + " " + c.width);
        const command_result r = scan_regions(dir / c.file, genome.plain, {"--summits", c.width});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, scan_fasta(regions_as_fasta(genome, c.centred)));
    }
}

TEST(RegionScan, BadRegionsAndGenomesFailInOneLine) {
    const genome_files& genome = shared_genome();
    scratch_dir dir;
    const std::string chr2_end = std::to_string(genome.length("chr2"));
    write_file(dir / "gzip.fa.gz", "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00");
    write_file(dir / "not.fa", "this is not FASTA\n");
    const std::string long_name(2'000'000, 'c');
    const struct {
        std::string bed, genome, message;
        std::vector<std::string> more = {};
    } cases[] = {
        {"chr2\t-5\t10\n", genome.plain, "peaks.bed: line 1: start -5 is negative"},
        {"chr2\t5\t9999999999999999999\n", genome.plain, "peaks.bed: line 1: end 9999999999999999999 is too large (at most 18 digits)"},
        {long_name + "\t0\t10\n", genome.plain,
         "peaks.bed: line 1: chromosome '" + long_name.substr(0, 100) + "...' is not in " + genome.plain},
        {"chr2\t1000\t1010\nchr2\t100\t200\n", genome.plain,
         "peaks.bed: line 2: chr2 100 200 centred, 400 bases, starts before chr2 does", {"--summits", "400"}},
        {"chr2\t29000\t29990\n", genome.plain,
         "peaks.bed: line 1: chr2 29000 29990 centred, 2000 bases, goes past the end of chr2 (" + chr2_end + ")", {"--summits", "2000"}},
        {"chr2\t10\n", genome.plain, "peaks.bed: line 1: 2 columns, not the 3 of BED at least"},
        {"# header\nchr2\t1O\t20\n", genome.plain, "peaks.bed: line 2: start '1O' is not a whole number"},
        {"chr2\t10\t-20\n", genome.plain, "peaks.bed: line 1: end -20 is negative"},
        {"chr2\t30\t20\n", genome.plain, "peaks.bed: line 1: end 20 before start 30"},
        {"\tchr2\t30\n", genome.plain, "peaks.bed: line 1: no chromosome"},
        {"chr2\t0\t10\tp\t0\t.\t1\t1\t1\tsummit\n", genome.plain, "peaks.bed: line 1: summit 'summit' is not a whole number or -1"},
        {"chr2\t0\t10\tp\t0\t.\t1\t1\t1\t10\n", genome.plain, "peaks.bed: line 1: summit 10 past the region's end"},
        {"chr2\t0\t10\nchr9\t0\t10\n", genome.plain, "peaks.bed: line 2: chromosome 'chr9' is not in " + genome.plain},
        {"chr2\t0\t" + chr2_end + "\nchr2\t0\t" + chr2_end + "1\n", genome.bgzip,
         "peaks.bed: line 2: chr2:0-" + chr2_end + "1 goes past the end of chr2 (" + chr2_end + ")"},
        {"chr2\t0\t10\n", dir / "absent.fa", dir / "absent.fa: No such file or directory"},
        {"chr2\t0\t10\n", dir / "gzip.fa.gz", dir / "gzip.fa.gz: cannot index it: compressed with gzip rather than bgzip (recompress it with bgzip)"},
        {"chr2\t0\t10\n", dir / "not.fa", dir / "not.fa: not FASTA: line 1 comes before any '>' header line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bed.substr(0, 200));
        write_file(dir / "peaks.bed", c.bed);
        const command_result r = scan_regions(dir / "peaks.bed", c.genome, c.more);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "motif_scan: " + (c.message[0] == '/' ? c.message : dir / c.message) + "\n");
    }
}

TEST(RegionScan, SkipMissingWarnsOnceAndScansTheRest) {
    const genome_files& genome = shared_genome();
    scratch_dir dir;
    write_file(dir / "peaks.bed", "chr2\t100\t900\nchr9\t0\t10\nchr2\t29900\t30100\nchrM\t0\t500\nchr9\t5\t10\n");
    const command_result r = scan_regions(dir / "peaks.bed", genome.bgzip, {"--skip-missing"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "motif_scan: warning: 3 of 5 regions left out, not within the genome; the first: " + (dir / "peaks.bed") +
                         ": line 2: chromosome 'chr9' is not in " + genome.bgzip + "\n");
    EXPECT_EQ(r.out, scan_fasta(regions_as_fasta(genome, {{"chr2", 100, 900}, {"chrM", 0, 500}})));
}

TEST(RegionScan, UsageErrors) {
    const genome_files& genome = shared_genome();
    const std::vector<std::vector<std::string>> cases = {
        {"--summits", "100", genome.plain},
        {"--genome", genome.plain, genome.plain},
        {"--regions", "peaks.bed"},
        {"--regions", "peaks.bed", genome.plain, genome.bgzip},
        {"--regions", "peaks.bed", "--genome", genome.plain, genome.bgzip},
        {"--regions", "peaks.bed", "-"},
        {"--regions", "peaks.bed", "--summits", "0", genome.plain},
    };
    for (const auto& more : cases) {
        std::vector<std::string> args = {scan, "-m", jaspar};
        args.insert(args.end(), more.begin(), more.end());
        const command_result r = run_command(args);
        EXPECT_EQ(r.status, 2) << more[0] << " " << more[1];
        EXPECT_NE(r.err.find("(try 'motif_scan --help')"), std::string::npos) << r.err;
    }
}

}  // namespace
