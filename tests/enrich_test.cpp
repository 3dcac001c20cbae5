// motif_enrich: its statistics against independent computations (Fisher's
// and the binomial tails against sums of every term), the
// shuffle's counts and uniformity, and the program as users run it: planted
// motifs found first, counts of records or of sites as motif_scan's output
// gives them, the same
// table for any thread count and from its own controls, and a report page
// that parses, renders and carries motif_logo's logos.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "helpers.h"
#include "known_enrichment.h"
#include "report_page.h"
#include "run_command.h"
#include "shuffle.h"
#include "statistics.h"

namespace {

const std::string enrich = MOTIF_ENRICH_EXE;
const std::string scan = MOTIF_SCAN_EXE;
const std::string logo = MOTIF_LOGO_EXE;

// P(X >= hits) by exact sums of binomials in 128 bits: for small counts.
long double exact_tail(unsigned hits, unsigned drawn, unsigned marked, unsigned total) {
    const auto choose = [](unsigned n, unsigned k) {
        unsigned __int128 c = 1;
        for (unsigned i = 1; i <= k; ++i) c = c * (n - k + i) / i;
        return c;
    };
    unsigned __int128 above = 0;
    for (unsigned k = hits; k <= std::min(drawn, marked); ++k)
        if (drawn - k <= total - marked) above += choose(marked, k) * choose(total - marked, drawn - k);
    return static_cast<long double>(above) / static_cast<long double>(choose(total, drawn));
}

// log P(X >= hits) as a sum of every term, each from log-gammas: for large counts.
double log_tail_by_terms(std::uint64_t hits, std::uint64_t drawn, std::uint64_t marked, std::uint64_t total) {
    const auto log_term = [&](long double k) {
        const long double n = total, m = marked, d = drawn;
        return std::lgamma(m + 1) - std::lgamma(k + 1) - std::lgamma(m - k + 1) + std::lgamma(n - m + 1) -
               std::lgamma(d - k + 1) - std::lgamma(n - m - d + k + 1) - std::lgamma(n + 1) + std::lgamma(d + 1) +
               std::lgamma(n - d + 1);
    };
    long double top = -INFINITY;
    for (std::uint64_t k = hits; k <= std::min(drawn, marked); ++k) top = std::max(top, log_term(k));
    long double sum = 0;
    for (std::uint64_t k = hits; k <= std::min(drawn, marked); ++k) sum += std::exp(log_term(k) - top);
    return static_cast<double>(top + std::log(sum));
}

TEST(EnrichStatistics, FisherTailsAgreeWithIndependentSums) {
    // Every case of small tables, against exact rationals.
    for (unsigned total = 1; total <= 40; total += 3)
        for (unsigned drawn = 0; drawn <= total; drawn += 2)
            for (unsigned marked = 0; marked <= total; marked += 3)
                for (unsigned hits = 0; hits <= std::min(drawn, marked); ++hits) {
                    if (drawn + marked > total + hits) continue;  // not a possible table
                    const long double exact = exact_tail(hits, drawn, marked, total);
                    const double got = std::exp(log_upper_tail(hits, drawn, marked, total));
                    ASSERT_NEAR(got, static_cast<double>(exact), 1e-9 * static_cast<double>(exact))
                        << hits << " of " << drawn << " drawn, " << marked << " marked of " << total;
                }
    // Peak sets: tails far below 1e-300 still have their logs.
    const std::uint64_t cases[][4] = {{30000, 50000, 35000, 100000}, {26000, 50000, 50000, 100000}, {5, 100, 20, 1000},
                                      {12000, 50000, 20000, 200000}, {400, 50000, 500, 100000},     {0, 10, 5, 20}};
    for (const auto& c : cases) {
        const double got = log_upper_tail(c[0], c[1], c[2], c[3]), expected = log_tail_by_terms(c[0], c[1], c[2], c[3]);
        EXPECT_NEAR(got, expected, 1e-9 * std::max(1.0, std::fabs(expected))) << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
    }
    EXPECT_LT(log_upper_tail(30000, 50000, 35000, 100000) / std::log(10.0), -1000);
    EXPECT_EQ(log_upper_tail(0, 10, 5, 20), 0);
}

// The binomial tail as the textbook writes it: every term from log-gammas,
// summed relative to the largest.
double log_binomial_by_terms(std::uint64_t hits, std::uint64_t trials, long double p) {
    const long double n = trials;
    std::vector<long double> terms;
    for (std::uint64_t i = hits; i <= trials; ++i) {
        const long double k = i;
        terms.push_back(std::lgamma(n + 1) - std::lgamma(k + 1) - std::lgamma(n - k + 1) + k * std::log(p) +
                        (n - k) * std::log1p(-p));
    }
    const long double top = *std::max_element(terms.begin(), terms.end());
    long double sum = 0;
    for (const long double t : terms) sum += std::exp(t - top);
    return static_cast<double>(top + std::log(sum));
}

// Site counts: every tail of small counts, and peak sets' counts either side
// of the mode, down to tails far below 1e-300.
TEST(EnrichStatistics, BinomialTailsAgreeWithTheTextbookSum) {
    std::vector<std::tuple<std::uint64_t, std::uint64_t, double>> cases = {
        {3, 1000, 0.001},      {300, 1000, 0.3},       {301, 1000, 0.3},     {250, 1000, 0.3},  {900, 1000, 0.1},
        {1, 100000, 1e-8},    {60000, 100000, 0.5},   {49000, 100000, 0.5}, {2, 3, 0.999},     {5000, 5000, 0.5},
        {120, 200000, 0.0004}, {70, 200000, 0.0004},   {1, 2, 1e-300}};
    for (std::uint64_t n = 1; n <= 30; n += 3)
        for (std::uint64_t k = 1; k <= n; ++k)
            for (const double p : {0.01, 0.3, 0.5, 0.9}) cases.emplace_back(k, n, p);
    for (const auto& [k, n, p] : cases) {
        const double expected = log_binomial_by_terms(k, n, p);
        EXPECT_NEAR(log_binomial_upper_tail(k, n, p), expected, 1e-9 * std::max(1.0, std::fabs(expected))) << k << " of " << n << ", " << p;
    }
    EXPECT_LT(log_binomial_upper_tail(900, 1000, 0.1) / std::log(10.0), -500);
    EXPECT_EQ(log_binomial_upper_tail(0, 10, 0.5), 0);
    EXPECT_EQ(log_binomial_upper_tail(11, 10, 0.5), -INFINITY);
}

TEST(EnrichStatistics, QValuesAreBenjaminiHochbergs) {
    std::mt19937_64 random(16);
    for (int round = 0; round < 50; ++round) {
        std::vector<double> p(1 + random() % 300);
        for (double& x : p) x = random() % 10 == 0 ? 1.0 : std::pow(10.0, -static_cast<double>(random() % 2000) / 100);
        if (round % 5 == 0) p.assign(p.size(), p[0]);  // all tied
        std::vector<double> log_p;
        for (const double x : p) log_p.push_back(std::log(x));
        const std::vector<double> log_q = log_q_values(log_p);
        // As the textbook says: sorted, p x n / rank, the least from each rank down.
        std::vector<std::size_t> order(p.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](auto a, auto b) { return p[a] < p[b]; });
        std::vector<double> q(p.size());
        double least = 1;
        for (std::size_t rank = p.size(); rank-- > 0;) {
            least = std::min(least, p[order[rank]] * static_cast<double>(p.size()) / static_cast<double>(rank + 1));
            q[order[rank]] = least;
        }
        for (std::size_t i = 0; i < p.size(); ++i) ASSERT_NEAR(std::exp(log_q[i]), q[i], 1e-12 * q[i]) << round << " " << i;
    }
}

// The counts of a record's k-mers of bases, either case alike.
std::map<std::string, int> kmers(const std::string& positions, std::size_t k) {
    std::map<std::string, int> counts;
    for (std::size_t i = 0; i + k <= positions.size(); ++i) {
        std::string word = positions.substr(i, k);
        for (char& c : word) c = static_cast<char>(std::toupper(c));
        if (word.find_first_not_of("ACGT") == std::string::npos) ++counts[word];
    }
    return counts;
}

TEST(EnrichShuffle, KeepsDinucleotidesOrTrinucleotidesAndEverythingElseInPlace) {
    std::mt19937_64 random(3);
    for (int round = 0; round < 300; ++round) {
        const std::size_t k = 2 + round % 2;
        std::string record;
        const std::size_t length = random() % 400;
        for (std::size_t i = 0; i < length; ++i)
            record += random() % 40 == 0 ? "NnRY-*"[random() % 6] : "ACGTacgt"[random() % (random() % 5 == 0 ? 8 : 4)];
        random_bits bits(record_seed(7, static_cast<std::uint64_t>(round), 0));
        const std::string shuffled = shuffled_record(record, k, bits);
        ASSERT_EQ(shuffled.size(), record.size());
        ASSERT_EQ(kmers(shuffled, k), kmers(record, k)) << record;
        std::string upper = record;
        for (std::size_t i = 0; i < record.size(); ++i) {
            const bool base = std::string("ACGTacgt").find(record[i]) != std::string::npos;
            if (base) {
                ASSERT_NE(std::string("ACGT").find(shuffled[i]), std::string::npos) << i;
            } else {
                ASSERT_EQ(shuffled[i], record[i]) << i;  // other bytes stay
            }
            upper[i] = static_cast<char>(std::toupper(record[i]));
        }
        if (length >= 100 && upper.find_first_not_of("ACGT") == std::string::npos) {
            EXPECT_NE(shuffled, upper) << record;
        }
        // The same seed, the same shuffle.
        random_bits again(record_seed(7, static_cast<std::uint64_t>(round), 0));
        EXPECT_EQ(shuffled_record(record, k, again), shuffled);
    }
}

// Every sequence of the same k-mer counts and first k - 1 bases: each
// extended by the k-mers left that start where it ends.
void every_sequence(const std::string& so_far, std::map<std::string, int>& left, std::size_t k, std::size_t length,
                    std::set<std::string>& into) {
    if (so_far.size() == length) {
        into.insert(so_far);
        return;
    }
    for (auto& [word, count] : left) {
        if (count == 0 || word.compare(0, k - 1, so_far, so_far.size() - (k - 1), k - 1) != 0) continue;
        --count;
        every_sequence(so_far + word.back(), left, k, length, into);
        ++count;
    }
}

// Every sequence of the same dinucleotide (or trinucleotide) counts is
// drawn equally often.
TEST(EnrichShuffle, DrawsEverySequenceOfTheSameCountsAlike) {
    const struct {
        std::string target;
        std::size_t k;
    } cases[] = {{"ACGTACGATCGAT", 2}, {"AACCAGGTTACA", 2}, {"GGGATTACAGGT", 2}, {"ACAGACTACAGATACA", 3}, {"TACAGATACAGACATA", 3}};
    for (const auto& [target, k] : cases) {
        std::set<std::string> possible;
        std::map<std::string, int> left = kmers(target, k);
        every_sequence(target.substr(0, k - 1), left, k, target.size(), possible);
        std::map<std::string, int> seen;
        const int draws = 40000 * static_cast<int>(possible.size()) / 10 + 20000;
        std::vector<std::uint8_t> bases;
        random_bits bits(11);
        for (int draw = 0; draw < draws; ++draw) {
            bases.clear();
            for (const char c : target) bases.push_back(static_cast<std::uint8_t>(std::string("ACGT").find(c)));
            shuffle_keeping(bases, k, bits);
            std::string s;
            for (const auto b : bases) s += "ACGT"[b];
            ++seen[s];
        }
        EXPECT_GT(possible.size(), 3u) << target;
        ASSERT_EQ(seen.size(), possible.size()) << target;
        const double expected = static_cast<double>(draws) / static_cast<double>(possible.size());
        for (const auto& [s, n] : seen) {
            ASSERT_TRUE(possible.count(s)) << s;
            EXPECT_NEAR(n, expected, 5 * std::sqrt(expected)) << target << " -> " << s;
        }
    }
}

// Targets with planted sites of two motifs among ten, and the motifs.
class EnrichRun : public testing::Test {
  protected:
    scratch_dir dir;
    std::string motifs() const { return dir / "motifs.jaspar"; }
    std::string targets() const { return dir / "targets.fa"; }
    void SetUp() override {
        write_file(dir / "unknown.fa", ">n\nNNNNNNNNNNNNNNN\n");
        std::mt19937_64 random(2026);
        const std::string planted[] = {"TGACTCATGCA", "GGGCGGGGCGT"};
        std::string jaspar;
        for (int m = 0; m < 10; ++m) {
            std::string consensus;
            for (int p = 0; p < 11; ++p) consensus += "ACGT"[random() % 4];
            if (m == 3) consensus = planted[0];
            if (m == 7) consensus = planted[1];
            jaspar += ">M" + std::to_string(m) + " motif" + std::to_string(m) + "\n";
            for (int b = 0; b < 4; ++b) {
                jaspar += std::string(1, "ACGT"[b]) + " [";
                for (const char c : consensus) jaspar += c == "ACGT"[b] ? " 17" : " 1";
                jaspar += " ]\n";
            }
        }
        write_file(motifs(), jaspar);
        std::string fasta;
        for (int r = 0; r < 400; ++r) {
            std::string seq;
            for (int i = 0; i < 200; ++i) seq += random() % 50 == 0 ? 'N' : "ACGTacgt"[random() % (i < 100 ? 4 : 8)];
            if (r % 10 < 6) seq.replace(random() % 180, 11, planted[0]);
            if (r % 10 >= 7) seq.replace(random() % 180, 11, planted[1]);
            fasta += ">peak" + std::to_string(r) + " region\n" + seq.substr(0, 70) + "\n" + seq.substr(70) + "\n";
        }
        fasta += ">empty\n";
        write_file(targets(), fasta);
    }
    command_result run(std::vector<std::string> args) const {
        args.insert(args.begin(), enrich);
        return run_command(args);
    }
};

// The records of a FASTA file with at least one site of each motif, by
// motif_scan's output.
std::map<std::string, std::set<std::string>> records_with_sites(const std::string& output) {
    std::map<std::string, std::set<std::string>> with;
    for (std::size_t at = 0; at < output.size();) {
        const std::size_t end = output.find('\n', at);
        const std::string line = output.substr(at, end - at);
        const std::size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1), t3 = line.find('\t', t2 + 1), t4 = line.find('\t', t3 + 1);
        with[line.substr(t3 + 1, t4 - t3 - 1)].insert(line.substr(0, t1));
        at = end + 1;
    }
    return with;
}

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

TEST_F(EnrichRun, PlantedMotifsComeFirstWithTheCountsMotifScanGives) {
    const command_result r = run({"-m", motifs(), "-j", "2", "--control-out", dir / "controls.fa", targets()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto table = rows(r.out);
    ASSERT_EQ(table.size(), 11u);
    EXPECT_EQ(table[0], (std::vector<std::string>{"rank", "motif", "consensus", "targets_with_site", "targets",
                                                 "percent_targets", "controls_with_site", "controls", "percent_controls",
                                                 "enrichment", "log10_p", "p", "q"}));
    EXPECT_EQ(table[1][1], "M3_motif3");
    EXPECT_EQ(table[1][2], "TGACTCATGCA");
    EXPECT_EQ(table[2][1], "M7_motif7");
    EXPECT_EQ(table[1][4], "401");  // every record, the empty one too
    EXPECT_EQ(table[1][7], "401");
    EXPECT_LT(std::stod(table[1][10]), -50);
    // T and C as motif_scan's sites give them, for the same files.
    const auto in_targets = records_with_sites(run_command({scan, "-m", motifs(), targets()}).out);
    const auto in_controls = records_with_sites(run_command({scan, "-m", motifs(), dir / "controls.fa"}).out);
    for (std::size_t i = 1; i < table.size(); ++i) {
        const std::string& id = table[i][1];
        EXPECT_EQ(table[i][3], std::to_string(in_targets.count(id) ? in_targets.at(id).size() : 0)) << id;
        EXPECT_EQ(table[i][6], std::to_string(in_controls.count(id) ? in_controls.at(id).size() : 0)) << id;
        EXPECT_EQ(table[i][0], std::to_string(i));
    }
    // The controls: each target's dinucleotides and other bytes, named after it.
    const std::string controls = read_file(dir / "controls.fa");
    EXPECT_EQ(controls.rfind(">peak0_shuffle1\n", 0), 0u);
    EXPECT_NE(controls.find(">empty_shuffle1\n"), std::string::npos);
}

// Counting sites, under a background: each motif's sites in targets and
// controls are motif_scan's lines under the same background, its windows
// those of its width in the records (shuffles keep their lengths); the
// table says the background.
TEST_F(EnrichRun, SitesAreCountedAsMotifScanFindsThem) {
    const command_result r = run({"-m", motifs(), "--count", "sites", "--bg", "0.3,0.2,0.2,0.3", "-j", "2", "--control-out",
                                  dir / "controls.fa", targets()});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out.rfind("# background: A 0.3 C 0.2 G 0.2 T 0.3\n", 0), 0u);
    const auto table = rows(r.out.substr(r.out.find('\n') + 1));
    ASSERT_EQ(table.size(), 11u);
    EXPECT_EQ(table[0], (std::vector<std::string>{"rank", "motif", "consensus", "sites_in_targets", "target_windows",
                                                 "sites_per_kb_targets", "sites_in_controls", "control_windows",
                                                 "sites_per_kb_controls", "enrichment", "log10_p", "p", "q"}));
    EXPECT_EQ(table[1][1], "M3_motif3");
    const auto sites_of = [&](const std::string& fasta) {
        std::map<std::string, std::size_t> sites;
        const std::string out = run_command({scan, "--bg", "0.3,0.2,0.2,0.3", "-m", motifs(), fasta}).out;
        for (const auto& line : rows(out))
            if (line.size() > 3) ++sites[line[3]];
        return sites;
    };
    const auto in_targets = sites_of(targets()), in_controls = sites_of(dir / "controls.fa");
    for (std::size_t i = 1; i < table.size(); ++i) {
        const std::string& id = table[i][1];
        EXPECT_EQ(table[i][3], std::to_string(in_targets.count(id) ? in_targets.at(id) : 0)) << id;
        EXPECT_EQ(table[i][4], "76000");  // 400 records of 200 positions, 11-wide motifs, and an empty one
        EXPECT_EQ(table[i][6], std::to_string(in_controls.count(id) ? in_controls.at(id) : 0)) << id;
        EXPECT_EQ(table[i][7], "76000");
    }
}

TEST_F(EnrichRun, TheSameTableForAnyThreadsAndFromItsOwnControls) {
    const command_result one = run({"-m", motifs(), "-j", "1", "--shuffles", "2", "--control-out", dir / "c1.fa", targets()});
    ASSERT_EQ(one.status, 0) << one.err;
    for (const char* threads : {"2", "3"}) {
        const std::string out = dir / (std::string("c") + threads + ".fa");
        EXPECT_EQ(run({"-m", motifs(), "-j", threads, "--shuffles", "2", "--control-out", out, targets()}).out, one.out);
        EXPECT_EQ(read_file(out), read_file(dir / "c1.fa")) << threads;
    }
    // The enrichment column from each line's counts, with controls and
    // targets of different numbers (the +1s matter only then).
    const auto table = rows(one.out);
    EXPECT_EQ(table[1][7], "802");
    for (std::size_t i = 1; i < table.size(); ++i) {
        const double t = std::stod(table[i][3]), nt = std::stod(table[i][4]), c = std::stod(table[i][6]),
                     nc = std::stod(table[i][7]);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%.3g", ((t + 1) / (nt + 1)) / ((c + 1) / (nc + 1)));
        EXPECT_EQ(table[i][9], expected) << table[i][1];
    }
    // The controls written, given back as controls, give the same table.
    EXPECT_EQ(run({"-m", motifs(), targets(), dir / "c1.fa"}).out, one.out);
    // Another seed, other controls.
    run({"-m", motifs(), "--seed", "5", "--shuffles", "2", "--control-out", dir / "c5.fa", targets()});
    EXPECT_NE(read_file(dir / "c5.fa"), read_file(dir / "c1.fa"));
}

// Motifs of equal p-values keep their load order, also past the sixteen
// elements below which an unstable sort happens to keep it.
TEST_F(EnrichRun, TiesKeepTheirLoadOrder) {
    std::string copies = read_file(motifs());
    const std::size_t from = copies.find(">M3 "), to = copies.find(">M4 ");
    const std::string planted = copies.substr(from, to - from);
    for (int k = 0; k < 30; ++k) {
        std::string copy = planted;
        copy.replace(0, planted.find('\n'), ">C" + std::to_string(k));
        copies += copy;
    }
    write_file(dir / "copies.jaspar", copies);
    const command_result r = run({"-m", dir / "copies.jaspar", targets()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto table = rows(r.out);
    ASSERT_EQ(table.size(), 41u);
    EXPECT_EQ(table[1][1], "M3_motif3");
    for (int k = 0; k < 30; ++k) EXPECT_EQ(table[2 + k][1], "C" + std::to_string(k));
    // The motifs that tie below them too (the same counts, the same p): in load order.
    std::map<std::string, std::size_t> loaded;
    for (std::size_t at = copies.find('>'); at != std::string::npos; at = copies.find('>', at + 1))
        loaded[copies.substr(at + 1, copies.find_first_of(" \n", at) - at - 1)] = loaded.size();
    for (std::size_t i = 2; i < table.size(); ++i) {
        if (table[i][3] != table[i - 1][3] || table[i][6] != table[i - 1][6]) continue;
        const auto id = [](const std::string& name) { return name.substr(0, name.find('_')); };
        EXPECT_LT(loaded.at(id(table[i - 1][1])), loaded.at(id(table[i][1]))) << table[i - 1][1] << " " << table[i][1];
    }
}

// Motifs that resemble a better-ranked one are folded under the first of
// their family in the report; the table does not change.
TEST_F(EnrichRun, TheReportFoldsFamiliesUnderTheirBest) {
    std::string copies = read_file(motifs());
    const std::size_t from = copies.find(">M3 "), to = copies.find(">M4 ");
    for (int k = 0; k < 12; ++k) {
        std::string copy = copies.substr(from, to - from);
        copy.replace(0, copy.find('\n'), ">C" + std::to_string(k));
        copies += copy;
    }
    write_file(dir / "copies.jaspar", copies);
    const command_result plain = run({"-m", dir / "copies.jaspar", targets()});
    const command_result r = run({"-m", dir / "copies.jaspar", "--html", dir / "report.html", targets()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, plain.out);
    const std::string page = read_file(dir / "report.html");
    expect_valid_html(dir / "report.html");
    // M3 heads its family of twelve copies, each marked like it; one
    // folded block in all, the ten random motifs being unlike each other.
    EXPECT_NE(page.find("<summary>12 more like M3_motif3</summary>"), std::string::npos);
    std::size_t like = 0, blocks = 0;
    for (std::size_t at = page.find("like M3_motif3</span>"); at != std::string::npos; at = page.find("like M3_motif3</span>", at + 1)) ++like;
    for (std::size_t at = page.find("<details>"); at != std::string::npos; at = page.find("<details>", at + 1)) ++blocks;
    EXPECT_EQ(like, 12u);
    EXPECT_EQ(blocks, 1u);
    EXPECT_LT(page.find(">M3_motif3<"), page.find("<details>"));
    EXPECT_EQ(page.find("<span class=\"like\">like M7"), std::string::npos);
}

// A motif joins the family of the best-ranked earlier motif it resembles,
// so a chain folds under its head; a later motif alone starts no family.
TEST(EnrichFamilies, FoldByRank) {
    const std::size_t none = SIZE_MAX;
    const motif_families families = fold_families({{3}, {0}, {1, 4}, {0, 2}, {2}, {}});
    EXPECT_EQ(families.like, (std::vector<std::size_t>{none, 0, 1, 0, 2, none}));
    EXPECT_EQ(families.first, (std::vector<std::size_t>{0, 0, 0, 0, 0, 5}));
}

TEST_F(EnrichRun, ErrorsAndUsage) {
    write_file(dir / "none.fa", "\n\n");
    write_file(dir / "headless.fa", "ACGT\n");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string error;
    } cases[] = {
        {{"-m", motifs(), dir / "none.fa"}, 1, dir / "none.fa: no FASTA records"},
        {{"-m", motifs(), targets(), dir / "none.fa"}, 1, dir / "none.fa: no FASTA records"},
        {{"-m", motifs(), dir / "missing.fa"}, 1, dir / "missing.fa: No such file or directory"},
        {{"-m", motifs(), dir / "headless.fa"}, 1, dir / "headless.fa: line 1: the first line that is not empty is not a '>' header"},
        {{"-m", dir / "none.fa", targets()}, 1, dir / "none.fa: no motif in the file"},
        {{"-m", motifs(), "--motif", "M99", targets()}, 1, "no motif named 'M99' in " + motifs()},
        {{"-m", motifs(), "--html", dir / "no/folder/r.html", targets()}, 1, dir / "no/folder/r.html: No such file or directory"},
        {{"-m", motifs()}, 2, "no target file given (try 'motif_enrich --help')"},
        {{"-m", motifs(), targets(), targets(), targets()}, 2,
         "a target file and at most one control file, not 3 files (try 'motif_enrich --help')"},
        {{"-m", motifs(), "--shuffles", "0", targets()}, 2,
         "option --shuffles: '0' is not a whole number of at least 1 (try 'motif_enrich --help')"},
        {{"-m", motifs(), "--seed", "-1", targets()}, 2,
         "option --seed: '-1' is negative (try 'motif_enrich --help')"},
        {{"-m", motifs(), "-", "-"}, 2, "standard input can hold only one of the files (try 'motif_enrich --help')"},
        {{"-m", motifs(), "--regions", "-", "--control-regions", "-", "--genome", targets()}, 2,
         "--control-regions and --regions are the same file (try 'motif_enrich --help')"},
        {{"-m", "-", "--regions", dir / "r.bed", "--control-regions", "-", "--genome", targets()}, 2,
         "standard input can hold only one of the files (try 'motif_enrich --help')"},
        {{"-m", motifs(), "-p", "2", targets()}, 2, "option -p: '2' is not a p-value in (0, 1] (try 'motif_enrich --help')"},
        {{targets()}, 2, "no matrix given (-m FILE) (try 'motif_enrich --help')"},
        {{"-m", motifs(), "--count", "bases", targets()}, 2, "option --count: 'bases' is not records or sites (try 'motif_enrich --help')"},
        {{"-m", motifs(), "--bg", "auto", dir / "unknown.fa"}, 1, "--bg auto: the sequences hold no bases to count"},
    };
    for (const auto& c : cases) {
        const command_result r = run(c.args);
        EXPECT_EQ(r.err, "motif_enrich: " + c.error + "\n");
        EXPECT_EQ(r.status, c.status) << c.error;
        EXPECT_EQ(r.out, "");
    }
    const command_result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: motif_enrich [options] -m MOTIFS", 0), 0u);
    EXPECT_EQ(run({"--version"}).out, std::string("motif_enrich ") + MOTIF_VERSION + "\n");
    const command_result full = run_command({enrich, "-m", motifs(), targets()}, "", "/dev/full");
    EXPECT_EQ(full.err, "motif_enrich: standard output: No space left on device\n");
    EXPECT_EQ(full.status, 1);
}

// The report: valid HTML, the logos motif_logo draws, and a real browser's
// picture of it with the table's text and the logos' colours.
TEST_F(EnrichRun, TheReportCarriesTheTableAndMotifLogosLogos) {
    const command_result r = run({"-m", motifs(), "--html", dir / "report.html", targets()});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string page = read_file(dir / "report.html");
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_NE(page.find(targets() + ": 401 records"), std::string::npos);
    // At least the first ten motifs have their logo: here all ten.
    std::size_t logos = 0;
    for (std::size_t at = page.find("<img class=\"logo\" alt=\"logo of "); at != std::string::npos;
         at = page.find("<img class=\"logo\" alt=\"logo of ", at + 1)) {
        ++logos;
        const std::size_t name = at + 31, data = page.find("base64,", at) + 7;
        const std::string id = page.substr(name, page.find('"', name) - name);
        const std::string svg = from_base64(page.substr(data, page.find('"', data) - data));
        EXPECT_EQ(svg, run_command({logo, "--motif", id, motifs()}).out) << id;
    }
    EXPECT_EQ(logos, 10u);

    expect_valid_html(dir / "report.html");
    // The logos' letters in their colours, and dark text.
    expect_rendered_logos(dir, "1400,1200");
}

}  // namespace
