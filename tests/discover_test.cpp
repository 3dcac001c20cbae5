// motif_discover as users run it: motifs planted in generated records (sites
// drawn from their own frequencies, either strand) are found and match their
// source by motif_compare, for widths 8 to 20 and a weak middle; two planted
// together come out as two; nothing comes out of random sequence; the
// held-out numbers are motif_enrich's for the motif as written; the same
// output for every thread count and seed; few targets judged on all, their
// p-values calibrated by null searches; the held-out tenth rounded to the
// nearest; every position of every site masked; the planted motifs of the
// shipped fly promoters found; the search under an A/T-rich background, its
// motifs read back under the background line written; and every error path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "discover.h"
#include "helpers.h"
#include "motif.h"
#include "discovery_report.h"
#include "figures.h"
#include "scanning.h"
#include "sites.h"
#include "report_page.h"
#include "run_command.h"

namespace {

const std::string discover = MOTIF_DISCOVER_EXE;
const std::string compare = MOTIF_COMPARE_EXE;
const std::string enrich = MOTIF_ENRICH_EXE;
const std::string examples = EXAMPLES_DIR;

std::vector<std::vector<std::string>> rows(const std::string& table) {
    std::vector<std::vector<std::string>> all;
    for (std::size_t at = 0; at < table.size();) {
        const std::size_t end = table.find('\n', at);
        std::vector<std::string> fields;
        for (std::size_t f = at; f <= end;) {
            const std::size_t stop = std::min(table.find('\t', f), end);
            fields.push_back(table.substr(f, stop - f));
            f = stop + 1;
        }
        all.push_back(fields);
        at = end + 1;
    }
    return all;
}

// A motif of counts: each column a base of 94 in 100 (1.6 bits: a motif of
// 8 less sharp has too few sites above chance to be judged on 200 records),
// the two middle columns of a soft one spread (40, 20, 20, 20).
using counts = std::vector<std::array<double, 4>>;

counts generated_motif(std::mt19937_64& random, std::size_t width, bool soft_middle) {
    counts motif;
    for (std::size_t p = 0; p < width; ++p) {
        const bool soft = soft_middle && (p == width / 2 - 1 || p == width / 2);
        const std::size_t top = random() % 4;
        std::array<double, 4> column;
        for (std::size_t b = 0; b < 4; ++b) column[b] = b == top ? (soft ? 40 : 94) : (soft ? 20 : 2);
        motif.push_back(column);
    }
    return motif;
}

std::string jaspar_of(const std::string& id, const counts& motif) {
    std::string text = ">" + id + "\n";
    for (int b = 0; b < 4; ++b) {
        text += std::string(1, "ACGT"[b]) + " [";
        for (const auto& column : motif) text += " " + std::to_string(static_cast<int>(column[b]));
        text += " ]\n";
    }
    return text;
}

// Records of random bases (of the frequencies `bases`, where given), each
// motif's sites (drawn base by base from its frequencies, on either strand)
// planted in its share of them.
std::string planted_fasta(std::mt19937_64& random, std::size_t records, std::size_t length,
                          const std::vector<std::pair<counts, double>>& motifs, const std::vector<double>& bases = {}) {
    std::string fasta;
    std::uniform_real_distribution<double> uniform(0, 1);
    std::discrete_distribution<int> base(bases.begin(), bases.end());
    for (std::size_t r = 0; r < records; ++r) {
        std::string seq;
        for (std::size_t i = 0; i < length; ++i) seq += "ACGT"[bases.empty() ? random() % 4 : base(random)];
        for (const auto& [motif, share] : motifs) {
            if (uniform(random) >= share) continue;
            std::string site;
            for (const auto& column : motif) {
                double u = uniform(random) * (column[0] + column[1] + column[2] + column[3]);
                int b = 0;
                while (b < 3 && u >= column[b]) u -= column[b++];
                site += "ACGT"[b];
            }
            if (random() % 2) {
                std::string reverse(site.rbegin(), site.rend());
                for (char& c : reverse) c = "TGCA"[std::string("ACGT").find(c)];
                site = reverse;
            }
            seq.replace(random() % (length - site.size() + 1), site.size(), site);
        }
        fasta += ">r" + std::to_string(r) + "\n" + seq + "\n";
    }
    return fasta;
}

class DiscoverRun : public testing::Test {
  protected:
    scratch_dir dir;
    command_result run(std::vector<std::string> args, const std::string& input = "") const {
        args.insert(args.begin(), discover);
        return run_command(args, input);
    }
    // The identifiers of `source`'s motifs that a motif of `found` (MEME
    // text) matches with q <= 0.01, by motif_compare.
    std::map<std::string, std::string> matched(const std::string& found, const std::string& source) const {
        write_file(dir / "found.meme", found);
        const command_result r = run_command({compare, "--max-q", "0.01", dir / "found.meme", source});
        std::map<std::string, std::string> by_source;
        for (const auto& line : rows(r.out))
            if (line.size() > 2 && line[0] != "query" && !by_source.count(line[1])) by_source[line[1]] = line[0];
        return by_source;
    }
};

TEST_F(DiscoverRun, PlantedMotifsOfEveryWidthAreFoundAndMatchTheirSource) {
    const struct {
        std::size_t width;
        bool soft_middle;
    } cases[] = {{8, false}, {12, false}, {12, true}, {16, false}, {20, true}};
    std::mt19937_64 random(8);
    for (const auto& c : cases) {
        const std::string name = "w" + std::to_string(c.width) + (c.soft_middle ? "soft" : "");
        SCOPED_TRACE(name);
        const counts source = generated_motif(random, c.width, c.soft_middle);
        write_file(dir / "source.jaspar", jaspar_of(name, source));
        write_file(dir / "targets.fa", planted_fasta(random, 2000, 200, {{source, 0.1}}));
        const command_result r = run({"--maxw", std::to_string(std::max<std::size_t>(15, c.width)), dir / "targets.fa"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(matched(r.out, dir / "source.jaspar").count(name), 1u) << r.out;
    }
}

TEST_F(DiscoverRun, TwoPlantedMotifsComeOutAsTwoAndNothingComesOutOfRandomSequence) {
    // 15% each: at 10%, the held-out tenth holds some 14 sites of each, and
    // the second motif's E-value falls either side of 0.05 from one planting
    // to the next.
    std::mt19937_64 random(2);
    const counts first = generated_motif(random, 10, false), second = generated_motif(random, 11, true);
    write_file(dir / "sources.jaspar", jaspar_of("first", first) + jaspar_of("second", second));
    write_file(dir / "targets.fa", planted_fasta(random, 2000, 200, {{first, 0.15}, {second, 0.15}}));
    const command_result r = run({"--tsv", dir / "found.tsv", dir / "targets.fa"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto by_source = matched(r.out, dir / "sources.jaspar");
    ASSERT_EQ(by_source.size(), 2u) << r.out;
    EXPECT_NE(by_source.at("first"), by_source.at("second"));

    // Targets and controls of the same random source: nothing reported, the
    // MEME text's header alone.
    write_file(dir / "random_targets.fa", planted_fasta(random, 2000, 200, {}));
    write_file(dir / "random_controls.fa", planted_fasta(random, 2000, 200, {}));
    for (const bool own_controls : {false, true}) {
        std::vector<std::string> args = {"--tsv", dir / "null.tsv", dir / "random_targets.fa"};
        if (own_controls) args.push_back(dir / "random_controls.fa");
        const command_result none = run(args);
        ASSERT_EQ(none.status, 0) << none.err;
        EXPECT_EQ(none.out.find("MOTIF"), std::string::npos) << none.out;
        EXPECT_EQ(rows(read_file(dir / "null.tsv")).size(), 1u);
    }
}

// On A/T-rich sequence, the search scores and judges against the background
// given or counted, which the MEME text and the table say: a planted motif
// comes out, and nothing out of random sequence against its own controls.
TEST_F(DiscoverRun, UnderABackgroundTheSearchScoresAgainstItAndSaysIt) {
    std::mt19937_64 random(7);
    const std::vector<double> at_rich = {0.4, 0.1, 0.1, 0.4};
    const counts source = generated_motif(random, 10, false);
    write_file(dir / "source.jaspar", jaspar_of("planted", source));
    write_file(dir / "targets.fa", planted_fasta(random, 1000, 200, {{source, 0.2}}, at_rich));
    const command_result r = run({"--bg", "0.4,0.1,0.1,0.4", "--tsv", dir / "found.tsv", dir / "targets.fa"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nBackground letter frequencies\nA 0.4 C 0.1 G 0.1 T 0.4\n"), std::string::npos) << r.out;
    EXPECT_EQ(read_file(dir / "found.tsv").rfind("# background: A 0.4 C 0.1 G 0.1 T 0.4\nrank\t", 0), 0u);
    EXPECT_EQ(matched(r.out, dir / "source.jaspar").count("planted"), 1u) << r.out;

    write_file(dir / "random_targets.fa", planted_fasta(random, 1000, 200, {}, at_rich));
    write_file(dir / "random_controls.fa", planted_fasta(random, 1000, 200, {}, at_rich));
    const command_result none = run({"--bg", "auto", dir / "random_targets.fa", dir / "random_controls.fa"});
    ASSERT_EQ(none.status, 0) << none.err;
    EXPECT_EQ(none.out.find("MOTIF"), std::string::npos) << none.out;
    EXPECT_EQ(none.out.find("\nA 0.25 "), std::string::npos) << none.out;
}

// The held-out numbers are those motif_enrich reports for each motif as
// written, at its site p-value, on the records judged on.
TEST_F(DiscoverRun, HeldOutNumbersAreMotifEnrichsForTheMotifAsWritten) {
    const std::string fly = examples + "/fly_promoters_planted.fa.gz";
    const command_result r = run({"--held-out", dir / "held", "--tsv", dir / "found.tsv", fly});
    ASSERT_EQ(r.status, 0) << r.err;
    write_file(dir / "found.meme", r.out);
    const auto table = rows(read_file(dir / "found.tsv"));
    ASSERT_GE(table.size(), 3u);
    const auto column = [&](const std::string& name) {
        return static_cast<std::size_t>(std::find(table[0].begin(), table[0].end(), name) - table[0].begin());
    };
    for (std::size_t i = 1; i < table.size(); ++i) {
        const auto& line = table[i];
        EXPECT_EQ(line[column("judged_on")], "held_out");
        const auto enriched = rows(run_command({enrich, "-p", line[column("site_p")], "-m", dir / "found.meme", "--motif",
                                                line[column("id")], dir / "held_targets.fa", dir / "held_controls.fa"})
                                       .out);
        ASSERT_EQ(enriched.size(), 2u) << line[column("id")];
        EXPECT_EQ(enriched[1][3], line[column("held_out_targets_with_site")]);
        EXPECT_EQ(enriched[1][4], line[column("held_out_targets")]);
        EXPECT_EQ(enriched[1][6], line[column("held_out_controls_with_site")]);
        EXPECT_EQ(enriched[1][7], line[column("held_out_controls")]);
        EXPECT_EQ(enriched[1][10], line[column("log10_p")]);
        EXPECT_EQ(enriched[1][11], line[column("p")]);
    }
    // A tenth of the targets, and the controls shuffled from them.
    EXPECT_EQ(rows(read_file(dir / "found.tsv"))[1][column("held_out_targets")], "200");
}

TEST_F(DiscoverRun, TheSameOutputForEveryThreadCountAndSeed) {
    std::mt19937_64 random(6);
    const std::string fly = dir / "targets.fa";
    write_file(fly, planted_fasta(random, sized(1000, 500), 200, {{generated_motif(random, 10, false), 0.2}}));
    const command_result one = run({"-j", "1", "--tsv", dir / "one.tsv", "--held-out", dir / "one", fly});
    ASSERT_EQ(one.status, 0) << one.err;
    for (const char* threads : {"2", "3"}) {
        const std::string tsv = dir / (std::string(threads) + ".tsv");
        EXPECT_EQ(run({"-j", threads, "--tsv", tsv, fly}).out, one.out) << threads;
        EXPECT_NE(one.out.find("MOTIF 1-"), std::string::npos);
        EXPECT_EQ(read_file(tsv), read_file(dir / "one.tsv")) << threads;
    }
    // Another seed holds other records out.
    run({"--seed", "2", "--held-out", dir / "two", fly});
    EXPECT_NE(read_file(dir / "two_targets.fa"), read_file(dir / "one_targets.fa"));
}

// The planted motifs of the shipped example, in real fly promoter sequence
// with its repeats and AT-rich stretches, come out and match JASPAR's.
TEST_F(DiscoverRun, FindsThePlantedMotifsOfRealPromoters) {
    const command_result r = run({examples + "/fly_promoters_planted.fa.gz"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto by_source = matched(r.out, examples + "/jaspar2022_core_vertebrates.jaspar");
    EXPECT_EQ(by_source.count("MA0139.1_CTCF"), 1u) << r.out;
    EXPECT_EQ(by_source.count("MA0060.3_NFYA"), 1u) << r.out;
}

// Twenty sequences with one site each: too few to hold any out, judged on
// all, their motif first.
TEST_F(DiscoverRun, FewTargetsAreJudgedOnAllAndGiveTheirMotif) {
    std::mt19937_64 random(20);
    const counts source = generated_motif(random, 12, false);
    write_file(dir / "source.jaspar", jaspar_of("twenty", source));
    write_file(dir / "targets.fa", planted_fasta(random, 20, 200, {{source, 1.0}}));
    const command_result r = run({"--tsv", dir / "found.tsv", "--html", dir / "report.html", dir / "targets.fa"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto table = rows(read_file(dir / "found.tsv"));
    ASSERT_GE(table.size(), 2u);
    EXPECT_EQ(table[1].back(), "all records, calibrated by 50 null searches");
    EXPECT_EQ(matched(r.out, dir / "source.jaspar").at("twenty").rfind("1-", 0), 0u);
    EXPECT_NE(read_file(dir / "report.html").find("too few to hold a tenth out"), std::string::npos);
}

// A tenth of the targets held out, rounded to the nearest (half up), and the
// controls shuffled from them; of controls of their own, a tenth alike.
TEST(DiscoverHeldOut, ATenthRoundedToTheNearest) {
    const struct {
        std::size_t targets, shuffles, own_controls, held_targets, held_controls;
    } cases[] = {{99, 1, 0, 0, 0},    {100, 1, 0, 10, 10}, {104, 2, 0, 10, 20}, {105, 1, 0, 11, 11},
                 {109, 3, 0, 11, 33}, {114, 0, 34, 11, 3}, {115, 0, 35, 12, 4}, {2005, 1, 0, 201, 201}, {1000, 0, 2005, 100, 201}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.targets) + " targets");
        search_records records;
        records.targets.resize(c.targets);
        for (std::size_t i = 0; i < c.targets * c.shuffles; ++i) records.source.push_back(static_cast<std::int64_t>(i / c.shuffles));
        records.source.resize(records.source.size() + c.own_controls, -1);
        records.controls.resize(records.source.size());
        std::vector<bool> targets, controls;
        pick_held_out(records, 3, targets, controls);
        EXPECT_EQ(std::count(targets.begin(), targets.end(), true), static_cast<long>(c.held_targets));
        EXPECT_EQ(std::count(controls.begin(), controls.end(), true), static_cast<long>(c.held_controls));
        for (std::size_t i = 0; i < c.targets * c.shuffles; ++i) EXPECT_EQ(controls[i], targets[i / c.shuffles]) << i;
    }
}

// Every position of every site found is masked, on either strand, where
// sites overlap and at the records' ends; nothing else is.
TEST(DiscoverMasking, EveryPositionOfEverySiteAndNothingElse) {
    std::mt19937_64 random(12);
    for (const std::size_t width : {3, 8, 21}) {
        SCOPED_TRACE("width " + std::to_string(width));
        std::vector<sequence_record> records(40);
        for (sequence_record& r : records)
            for (std::size_t i = 0, length = width + random() % 60; i < length; ++i) r.positions += "ACGTN"[random() % 41 / 10];
        motif m;
        for (std::size_t p = 0; p < width; ++p) m.scores.push_back(scores_from_counts({1, 1, 1, static_cast<double>(3 + random() % 9)}));
        const std::vector<record_site> sites = find_sites(record_batches(records, max_discover_width), {prepare_matrix(m, {false, 0.2})}, 2)[0];
        ASSERT_GT(sites.size(), records.size());
        std::vector<std::vector<bool>> covered;
        for (const sequence_record& r : records) covered.emplace_back(r.positions.size());
        for (const record_site& s : sites)
            for (std::size_t i = 0; i < width; ++i) covered[s.record][s.start + i] = true;
        std::vector<sequence_record> masked = records;
        mask_sites(masked, sites, width);
        for (std::size_t r = 0; r < records.size(); ++r)
            for (std::size_t i = 0; i < records[r].positions.size(); ++i)
                EXPECT_EQ(masked[r].positions[i], covered[r][i] ? 'N' : records[r].positions[i]) << "record " << r << " at " << i;
    }
}

// Too few targets to hold any out: each motif's p-value is its score's
// among the null searches' best, so the best motif of a random set is not
// of E <= 0.05 (uncalibrated, it reached 1e-4), while a motif planted once
// in each of twenty records still comes first; the same for any threads;
// and with no null searches, the search's own p-values, said to be so.
TEST_F(DiscoverRun, FewTargetsAreCalibratedByNullSearches) {
    std::mt19937_64 random(99);
    const counts source = generated_motif(random, 12, false);
    write_file(dir / "source.jaspar", jaspar_of("planted", source));
    // Narrower motifs and fewer null searches make cheaper runs (the test
    // runs under sanitizers too).
    const struct {
        std::size_t records;
        double share;
        const char* threads;
        const char* maxw;
        const char* null_searches;
    } cases[] = {{20, 0, "1", "10", "20"}, {20, 0, "3", "10", "20"}, {20, 0, "2", "10", "0"},
                 {45, 0, "2", "10", "20"}, {20, 1, "2", "15", "50"}};
    std::string last_table;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(std::to_string(c.records) + " records, share " + std::to_string(c.share) + ", -j " + c.threads + ", --maxw " + c.maxw);
        const bool again = i > 0 && cases[i - 1].records == c.records && cases[i - 1].share == c.share &&
                           std::string(cases[i - 1].null_searches) == c.null_searches;
        const bool same_set = i > 0 && cases[i - 1].records == c.records && cases[i - 1].share == c.share;
        if (!same_set) write_file(dir / "targets.fa", planted_fasta(random, c.records, 100, {{source, c.share}}));
        // Of a random set, its best motif whatever its E-value.
        std::vector<std::string> args = {"-j", c.threads, "--maxw", c.maxw, "--null-searches", c.null_searches,
                                         "--tsv", dir / "found.tsv", dir / "targets.fa"};
        if (c.share == 0) args.insert(args.begin(), {"--nmotifs", "1", "--evalue", "1e300"});
        const command_result r = run(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string tsv = read_file(dir / "found.tsv");
        const auto table = rows(tsv);
        ASSERT_GE(table.size(), 2u);
        // None: the search's own p-values, as they were.
        if (std::string(c.null_searches) == "0") {
            EXPECT_EQ(table[1].back(), "all");
            continue;
        }
        EXPECT_EQ(table[1].back(), std::string("all records, calibrated by ") + c.null_searches + " null searches");
        if (c.share == 0) {
            EXPECT_GT(std::stod(table[1][16]), 0.05) << tsv;
        } else {
            EXPECT_LE(std::stod(table[1][16]), 0.05) << tsv;
            EXPECT_EQ(matched(r.out, dir / "source.jaspar").at("planted").rfind("1-", 0), 0u) << r.out;
        }
        if (again) {
            EXPECT_EQ(tsv, last_table);
        }
        last_table = tsv;
    }
}

// The motifs as written read back, through the MEME reader, to the scores
// they were judged with; and the text pipes into the other programs.
TEST(DiscoverResults, WrittenMotifsReadBackToTheScoresJudged) {
    std::mt19937_64 random(4);
    std::vector<found_motif> motifs(3);
    for (found_motif& m : motifs) {
        for (std::size_t p = 0; p < 5 + random() % 10; ++p) {
            std::array<double, 4> f{};
            double total = 0;
            for (double& x : f) total += x = static_cast<double>(random() % 1000) * (random() % 3 ? 1 : 0);
            if (total == 0) f = {1, 0, 0, 0}, total = 1;
            for (double& x : f) x /= total;
            m.probabilities.push_back(f);
        }
        m.sites = 1 + random() % 500;
        m.scores = scores_as_written(m.probabilities, m.sites, uniform_bases);
        m.log_e = -static_cast<double>(random() % 2000);  // down to e^-2000, past the range of doubles
    }
    scratch_dir dir;
    write_file(dir / "found.meme", meme_text(motifs, uniform_bases));
    std::vector<motif> read;
    std::string error;
    ASSERT_TRUE(read_motif_file(dir / "found.meme", {}, read, error)) << error;
    ASSERT_EQ(read.size(), motifs.size());
    for (std::size_t i = 0; i < motifs.size(); ++i) {
        EXPECT_EQ(read[i].scores, motifs[i].scores) << i;
        EXPECT_EQ(read[i].names[0], identifier_of(motifs[i], i + 1));
        EXPECT_EQ(read[i].sites, static_cast<double>(motifs[i].sites));
    }
    // Under another background, as motif_scan --bg motif reads it: the
    // line first, then the counts scored against it.
    const base_frequencies background = background_as_written({0.31234567, 0.18765433, 0.18765433, 0.31234567});
    motifs[0].scores = scores_as_written(motifs[0].probabilities, motifs[0].sites, background);
    write_file(dir / "found.meme", meme_text({motifs[0]}, background));
    motif_reading how;
    how.file_background = true;
    read.clear();
    ASSERT_TRUE(read_motif_file(dir / "found.meme", how, read, error)) << error;
    ASSERT_EQ(read[0].background, background);
    how.background = background;
    read.clear();
    ASSERT_TRUE(read_motif_file(dir / "found.meme", how, read, error)) << error;
    EXPECT_EQ(read[0].scores, motifs[0].scores);
}

// Past the range of doubles, figures are printed from their logs as %.3g
// prints them within it: checked where both can be, then deeper.
TEST(DiscoverResults, FiguresFromTheirLogsAsWithinTheRangeOfDoubles) {
    char plain[48];
    for (double log10_value = -299.9; log10_value > -307.5; log10_value -= 0.00937) {
        const double log_value = log10_value * std::log(10.0);
        std::snprintf(plain, sizeof plain, "%.3g", std::exp(log_value));
        ASSERT_EQ(general_of_log(log_value), plain) << log10_value;
    }
    EXPECT_EQ(general_of_log(std::log(3.4) - 412 * std::log(10.0)), "3.4e-412");
    EXPECT_EQ(general_of_log((-400 - 1e-7) * std::log(10.0)), "1e-400");  // 9.99999977e-401 rounded up
    // Fixed decimals: a value rounding to 0 from below loses its sign, no other does.
    for (const auto& [value, decimals, text] : std::vector<std::tuple<double, int, const char*>>{
             {-0.004, 2, "0.00"}, {-1e-9, 0, "0"}, {-0.006, 2, "-0.01"}, {-2.5, 1, "-2.5"}, {10.0, 1, "10.0"}})
        EXPECT_EQ(fixed(value, decimals), text) << value;
}

TEST_F(DiscoverRun, ErrorsAndUsage) {
    write_file(dir / "none.fa", "\n");
    write_file(dir / "short.fa", ">a\nACGT\n>b\nACGTACGTACGT\n>c\nAC\n");
    write_file(dir / "targets.fa", ">a\nACGTACGTACGTAAAACCCC\n");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string error;
    } cases[] = {
        {{dir / "missing.fa"}, 1, dir / "missing.fa: No such file or directory"},
        {{dir / "none.fa"}, 1, dir / "none.fa: no FASTA records"},
        {{"--compare", dir / "none.fa", dir / "targets.fa"}, 1, dir / "none.fa: no motif in the file"},
        {{"--minw", "13", dir / "short.fa"}, 1, "warning: 3 targets and 3 controls shorter than 13 positions skipped"},
        {{"--html", dir / "no/folder/r.html", dir / "targets.fa"}, 1, dir / "no/folder/r.html: No such file or directory"},
        {{}, 2, "no target file given (try 'motif_discover --help')"},
        {{dir / "targets.fa", dir / "targets.fa", dir / "targets.fa"}, 2,
         "a target file and at most one control file, not 3 files (try 'motif_discover --help')"},
        {{"--minw", "2", dir / "targets.fa"}, 2, "option --minw: '2' is not a whole number of at least 3 (try 'motif_discover --help')"},
        {{"--maxw", "31", dir / "targets.fa"}, 2, "option --maxw: '31' is above the limit of 30 (try 'motif_discover --help')"},
        {{"--minw", "12", "--maxw", "10", dir / "targets.fa"}, 2, "--minw 12 is above --maxw 10 (try 'motif_discover --help')"},
        {{"--evalue", "0", dir / "targets.fa"}, 2, "option --evalue: '0' is not above 0 (try 'motif_discover --help')"},
        {{"--shuffle-kmer", "4", dir / "targets.fa"}, 2, "option --shuffle-kmer: '4' is not 2 or 3 (try 'motif_discover --help')"},
        {{"--null-searches", "1001", dir / "targets.fa"}, 2, "option --null-searches: '1001' is not 0 nor from 10 to 1000 (try 'motif_discover --help')"},
        {{"--null-searches", "9", dir / "targets.fa"}, 2, "option --null-searches: '9' is not 0 nor from 10 to 1000 (try 'motif_discover --help')"},
        {{"--nmotifs", "0", dir / "targets.fa"}, 2, "option --nmotifs: '0' is not a whole number of at least 1 (try 'motif_discover --help')"},
        {{"-", "-"}, 2, "standard input can hold only one of the files (try 'motif_discover --help')"},
        {{"--tsv", "", dir / "targets.fa"}, 2, "option --tsv: the file name is empty (try 'motif_discover --help')"},
        {{"--bg", "", dir / "targets.fa"}, 2, "option --bg: '' is not uniform, auto, A,C,G,T nor a file (try 'motif_discover --help')"},
        {{"--bg", dir / "missing.bg", dir / "targets.fa"}, 1, dir / "missing.bg: cannot be read"},
        {{"--bg", "auto", dir / "targets.fa", dir / "none.fa"}, 1, dir / "none.fa: no FASTA records"},
    };
    for (const auto& c : cases) {
        const command_result r = run(c.args);
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "motif_discover: " + c.error + "\n");
        EXPECT_EQ(r.status, c.status) << c.error;
    }
    // Short records are counted, skipped, and the rest searched.
    const command_result shortest = run({"--minw", "10", dir / "short.fa"});
    EXPECT_EQ(shortest.err, "motif_discover: warning: 2 targets and 2 controls shorter than 10 positions skipped\n");
    EXPECT_EQ(shortest.status, 0);
    const command_result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: motif_discover [options] TARGETS.fa [CONTROL.fa]", 0), 0u);
    EXPECT_EQ(run({"--version"}).out, std::string("motif_discover ") + MOTIF_VERSION + "\n");
    const command_result full = run_command({discover, dir / "targets.fa"}, "", "/dev/full");
    EXPECT_EQ(full.err, "motif_discover: standard output: No space left on device\n");
    EXPECT_EQ(full.status, 1);
}

// The report: the motifs' logos and their best known matches, aligned;
// valid, and drawn by a real browser.
TEST_F(DiscoverRun, TheReportShowsEachMotifAndItsKnownMatches) {
    const std::string jaspar = examples + "/jaspar2022_core_vertebrates.jaspar";
    const command_result r = run({"--compare", jaspar, "--tsv", dir / "found.tsv", "--html", dir / "report.html",
                                  examples + "/fly_promoters_planted.fa.gz"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto table = rows(read_file(dir / "found.tsv"));
    ASSERT_GE(table.size(), 3u);
    EXPECT_EQ(table[0][table[0].size() - 2], "best_match");
    EXPECT_EQ(table[1][table[1].size() - 2], "MA0139.1_CTCF");
    const std::string page = read_file(dir / "report.html");
    EXPECT_EQ(page.find("<script"), std::string::npos);
    for (std::size_t i = 1; i < table.size(); ++i) {
        EXPECT_NE(page.find("<h2>" + table[i][1] + "</h2>"), std::string::npos);
        EXPECT_NE(page.find("logo of " + table[i][1] + " as aligned"), std::string::npos);
    }
    expect_valid_html(dir / "report.html");
    expect_rendered_logos(dir, "1100,1400");
}

}  // namespace
