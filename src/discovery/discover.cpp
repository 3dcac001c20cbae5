// The search, round by round:
// - seeds: the training records' words of `seed_length` bases counted once
//   per record on either strand, with their neighbours one mismatch away,
//   and gapped words (4 bases, a gap, 4 bases) exactly, in targets and in
//   controls; the most enriched by Fisher's test, but for tandem repeats;
// - each seed a count matrix (a word from the excess counts of its
//   neighbours, so degenerate positions start soft), set in the middle of
//   the widest motif allowed; all refined together, round after round:
//   their sites in the training records at the site p-value of the ladder
//   that would make records holding a site most enriched among as many
//   records as will judge it, each target record's best site widened by
//   `grow` columns either side counted into the next matrix, whose most
//   informative window of the same width slides towards the motif; until
//   `patience` rounds bring no improvement;
// - each refined matrix trimmed to its informative columns, its threshold
//   chosen again, the best kept: written, and judged by Fisher's test at its
//   site p-value on the held-out records, which played no part in finding
//   it or its threshold; its sites in the training records masked (made N)
//   so that the next round finds another.
#include "discover.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <unordered_map>

#include "bases.h"
#include "kernels.h"
#include "parallel_for.h"
#include "motif.h"
#include "scanning.h"
#include "shuffle.h"
#include "sites.h"
#include "statistics.h"

namespace {

constexpr std::size_t seed_length = 8;      // or the least width, if smaller
constexpr std::size_t seeds_refined = 20;
constexpr std::size_t rounds_of_refinement = 20;
// Rounds without improvement before a matrix is left as it is: it may have to
// slide a few columns before its sites get better.
constexpr std::size_t patience = 3;
constexpr std::size_t grow = 2;             // columns a matrix may grow by on either side each round
constexpr double information_floor = 0.15;  // bits: end columns less informative are trimmed
constexpr double seed_column_total = 10;    // counts of a seed's columns: soft, so that sites may differ from it
// The site p-values tried, loosest first: a fixed one would let the same
// share of records hold a chance site whatever the motif, and bury a motif
// in a tenth of the records among them.
constexpr double site_ladder[] = {1e-3, 5e-4, 2e-4, 1e-4, 5e-5, 2e-5, 1e-5, 5e-6, 2e-6, 1e-6};
// Sites this much above a motif's own p-value are masked too: its weaker
// instances would otherwise come back as the next motif.
constexpr double masked_beyond = 10;

using count_matrix = std::vector<std::array<double, 4>>;

// Words as codes of 2 bits a base, the first base highest; a word and its
// reverse complement are counted as the lesser code.
std::uint32_t complement_of(std::uint32_t code, std::size_t length) {
    std::uint32_t reverse = 0;
    for (std::size_t i = 0; i < length; ++i) {
        reverse = reverse << 2 | (3 - (code & 3));
        code >>= 2;
    }
    return reverse;
}

std::uint32_t canonical(std::uint32_t code, std::size_t length) { return std::min(code, complement_of(code, length)); }

// How many records hold each word, on either strand, or (with `mismatches`)
// a word at most one mismatch from it.
void count_words(const std::vector<sequence_record>& records, std::size_t from, std::size_t to, std::size_t length,
                 bool mismatches, std::vector<std::uint32_t>& counts) {
    counts.assign(std::size_t{1} << (2 * length), 0);
    // Kept from call to call: tables this large, made afresh, are mapped
    // afresh, and the page faults cost small searches (the null searches)
    // more than their counting.
    thread_local std::vector<std::uint32_t> last, seen;
    last.assign(counts.size(), UINT32_MAX);  // the last record counted for a word
    seen.assign(counts.size(), UINT32_MAX);  // the last record a word was read in
    std::vector<std::uint32_t> words;
    const std::uint32_t mask = static_cast<std::uint32_t>(counts.size() - 1);
    const auto count = [&](std::uint32_t word, std::size_t r) {
        if (last[word] == r) return;
        last[word] = static_cast<std::uint32_t>(r);
        ++counts[word];
    };
    for (std::size_t r = from; r < to; ++r) {
        std::uint32_t forward = 0, backward = 0;
        std::size_t valid = 0;
        words.clear();
        for (const char c : records[r].positions) {
            const std::uint32_t b = base_code[static_cast<unsigned char>(c)];
            if (b > 3) {
                valid = 0;
                continue;
            }
            forward = (forward << 2 | b) & mask;
            backward = backward >> 2 | (3 - b) << (2 * (length - 1));
            if (++valid < length) continue;
            const std::uint32_t word = std::min(forward, backward);
            if (seen[word] == r) continue;
            seen[word] = static_cast<std::uint32_t>(r);
            words.push_back(word);
        }
        for (const std::uint32_t word : words) {
            count(word, r);
            if (!mismatches) continue;
            // A word's neighbours' reverse complements are its reverse
            // complement's neighbours: the same canonical words.
            for (std::size_t p = 0; p < length; ++p)
                for (std::uint32_t b = 1; b < 4; ++b) count(canonical(word ^ b << (2 * p), length), r);
        }
    }
}

// Simple repeats ((CA)n, poly-A, (CAG)n) are enriched against any shuffle
// that breaks them, and are no binding sites: a word, or a motif's
// consensus, that repeats itself at a period of 2 to 4 (three periods long
// at least, three quarters of its bases equal to the one a period on), or
// nine tenths of whose bases equal the next (a run of one base), is left
// out of the search. (A GC box, GGGGCGGGG, is three quarters runs of G,
// and is a binding site.)
bool tandem_repeat(const std::string& bases) {
    for (std::size_t period = 1; period <= 4 && 3 * period <= bases.size(); ++period) {
        std::size_t same = 0;
        for (std::size_t i = 0; i + period < bases.size(); ++i) same += bases[i] == bases[i + period];
        if (static_cast<double>(same) >= (period == 1 ? 0.9 : 0.75) * static_cast<double>(bases.size() - period)) return true;
    }
    return false;
}

std::string bases_of(std::uint32_t code, std::size_t length) {
    std::string bases;
    for (std::size_t i = length; i-- > 0;) bases += "ACGT"[(code >> (2 * i)) & 3];
    return bases;
}

// The most likely base of each column.
std::string consensus_bases(const std::vector<std::array<double, 4>>& counts) {
    std::string bases;
    for (const auto& column : counts) bases += "ACGT"[std::max_element(column.begin(), column.end()) - column.begin()];
    return bases;
}

struct training {
    std::vector<sequence_record> records;  // targets, then controls; sites found are masked here
    std::size_t targets = 0, controls = 0;
    double judged_share = 1;               // records judged on per training record
};

// Words of at least this length are counted with their neighbours one
// mismatch away: a motif's sites, drawn from soft columns, hold one exact
// word seldom but its neighbourhood often. Shorter words' neighbourhoods
// would cover every record.
constexpr std::size_t least_for_mismatches = 7;

// How many records hold each gapped word, on either strand: 4 bases, a gap
// of 1 to `gaps` positions, 4 bases; counts[(gap - 1) << 16 | first << 8 |
// last] for the lesser code of the word and its reverse complement.
void count_gapped_words(const std::vector<sequence_record>& records, std::size_t from, std::size_t to, std::size_t gaps,
                        std::vector<std::uint32_t>& counts) {
    counts.assign(gaps << 16, 0);
    thread_local std::vector<std::uint32_t> last;  // kept as count_words keeps its own
    last.assign(counts.size(), UINT32_MAX);
    std::vector<int> quads;  // each position's word of 4 bases, or -1
    for (std::size_t r = from; r < to; ++r) {
        const std::string& positions = records[r].positions;
        quads.assign(positions.size() < 4 ? 0 : positions.size() - 3, -1);
        std::uint32_t code = 0;
        std::size_t valid = 0;
        for (std::size_t i = 0; i < positions.size(); ++i) {
            const std::uint32_t b = base_code[static_cast<unsigned char>(positions[i])];
            valid = b > 3 ? 0 : valid + 1;
            code = (code << 2 | (b & 3)) & 255;
            if (valid >= 4) quads[i - 3] = static_cast<int>(code);
        }
        for (std::size_t gap = 1; gap <= gaps; ++gap)
            for (std::size_t i = 0; i + 4 + gap < quads.size(); ++i) {
                const int first = quads[i], second = quads[i + 4 + gap];
                if (first < 0 || second < 0) continue;
                const auto f = static_cast<std::uint32_t>(first), s = static_cast<std::uint32_t>(second);
                const std::uint32_t word = std::min(f << 8 | s, complement_of(s, 4) << 8 | complement_of(f, 4));
                const std::size_t at = (gap - 1) << 16 | word;
                if (last[at] == r) continue;
                last[at] = static_cast<std::uint32_t>(r);
                ++counts[at];
            }
    }
}

// A seed's matrix: each of its words at most one mismatch away counted by
// the records it is in beyond what the controls would give, columns scaled
// to seed_column_total.
count_matrix seed_matrix(std::uint32_t word, std::size_t length, const std::vector<std::uint32_t>& in_targets,
                         const std::vector<std::uint32_t>& in_controls, double control_scale) {
    count_matrix counts(length, {0, 0, 0, 0});
    const auto add = [&](std::uint32_t u) {
        const std::uint32_t c = canonical(u, length);
        const double excess = static_cast<double>(in_targets[c]) - static_cast<double>(in_controls[c]) * control_scale;
        if (excess <= 0) return;
        for (std::size_t p = 0; p < length; ++p) counts[p][(u >> (2 * (length - 1 - p))) & 3] += excess;
    };
    add(word);
    for (std::size_t p = 0; p < length; ++p)
        for (std::uint32_t b = 1; b < 4; ++b) add(word ^ (b << (2 * (length - 1 - p))));
    for (std::size_t p = 0; p < length; ++p) {
        const double total = counts[p][0] + counts[p][1] + counts[p][2] + counts[p][3];
        for (double& c : counts[p]) c *= seed_column_total / total;
    }
    return counts;
}

// The matrix of a gapped word: its bases' columns soft (seven tenths the
// word's base), the gap's blank.
count_matrix gapped_matrix(std::size_t at) {
    const std::size_t gap = (at >> 16) + 1;
    count_matrix counts(8 + gap, {0, 0, 0, 0});
    for (std::size_t p = 0; p < 8; ++p) {
        const std::size_t column = p < 4 ? p : p + gap;
        const std::uint32_t b = (at >> (2 * (7 - p))) & 3;
        for (std::uint32_t other = 0; other < 4; ++other) counts[column][other] = seed_column_total * (other == b ? 0.7 : 0.1);
    }
    return counts;
}

// The seeds' matrices, most enriched first (ties in the order tried): words
// of `length` with their neighbourhoods, and (for words of 8 in motifs of
// 10 or more) gapped words.
std::vector<count_matrix> seeds(const training& train, std::size_t length, std::size_t max_width) {
    const bool mismatches = length >= least_for_mismatches;
    // Kept from call to call, as count_words keeps its tables.
    thread_local std::vector<std::uint32_t> near_targets, near_controls, in_targets, in_controls;
    count_words(train.records, 0, train.targets, length, mismatches, near_targets);
    count_words(train.records, train.targets, train.records.size(), length, mismatches, near_controls);
    if (mismatches) {
        count_words(train.records, 0, train.targets, length, false, in_targets);
        count_words(train.records, train.targets, train.records.size(), length, false, in_controls);
    } else {
        in_targets = near_targets;
        in_controls = near_controls;
    }
    const auto nt = static_cast<std::uint64_t>(train.targets), nc = static_cast<std::uint64_t>(train.controls);
    const double control_scale = nc ? static_cast<double>(nt) / static_cast<double>(nc) : 0;
    // Most words share their counts with many others, and Fisher's test is
    // most of the time a small search takes (the null searches are many).
    std::unordered_map<std::uint64_t, double> tests;
    const auto tail = [&](std::uint64_t t, std::uint64_t c) {
        const auto [at, fresh] = tests.try_emplace(t << 32 | c);
        if (fresh) at->second = log_upper_tail(t, nt, t + c, nt + nc);
        return at->second;
    };
    // Each candidate: its log p, its kind (0 ungapped, 1 gapped) and code.
    std::vector<std::tuple<double, int, std::size_t>> enriched;
    for (std::uint32_t word = 0; word < near_targets.size(); ++word) {
        const std::uint64_t t = near_targets[word], c = near_controls[word];
        if (t < 2 || t * nc <= c * nt || canonical(word, length) != word || tandem_repeat(bases_of(word, length))) continue;
        enriched.emplace_back(tail(t, c), 0, word);
    }
    const std::size_t gaps = length == 8 && max_width >= 10 ? std::min<std::size_t>(7, max_width - 8) : 0;
    if (gaps > 0) {
        thread_local std::vector<std::uint32_t> gapped_targets, gapped_controls;
        count_gapped_words(train.records, 0, train.targets, gaps, gapped_targets);
        count_gapped_words(train.records, train.targets, train.records.size(), gaps, gapped_controls);
        for (std::size_t at = 0; at < gapped_targets.size(); ++at) {
            const std::uint64_t t = gapped_targets[at], c = gapped_controls[at];
            if (t < 2 || t * nc <= c * nt || tandem_repeat(bases_of(at & 0xffff, 8))) continue;
            enriched.emplace_back(tail(t, c), 1, at);
        }
    }
    const std::size_t kept = std::min(seeds_refined, enriched.size());
    std::partial_sort(enriched.begin(), enriched.begin() + static_cast<std::ptrdiff_t>(kept), enriched.end());
    std::vector<count_matrix> matrices;
    for (std::size_t i = 0; i < kept; ++i) {
        const auto [log_p, kind, code] = enriched[i];
        matrices.push_back(kind == 0 ? seed_matrix(static_cast<std::uint32_t>(code), length, in_targets, in_controls, control_scale)
                                     : gapped_matrix(code));
    }
    return matrices;
}

// A column's information: the relative entropy of its frequencies (the
// background's as pseudocounts) against the background, in bits. A column
// as common as the background is not part of the motif, however skewed.
double information(const std::array<double, 4>& counts, const base_frequencies& background) {
    const double total = counts[0] + counts[1] + counts[2] + counts[3];
    if (total == 0) return 0;
    double bits = 0;
    for (int b = 0; b < 4; ++b) {
        const double f = (counts[b] + background[b]) / (total + 1);
        bits += f * std::log2(f / background[b]);
    }
    return bits;
}

// The run of columns, of min_width to max_width, whose information above
// the floor adds up to most (the first such).
count_matrix trimmed(const count_matrix& counts, std::size_t min_width, std::size_t max_width, const base_frequencies& background) {
    std::vector<double> gain(counts.size());
    for (std::size_t p = 0; p < counts.size(); ++p) gain[p] = information(counts[p], background) - information_floor;
    std::size_t from = 0, width = std::min(min_width, counts.size());
    double best = -INFINITY;
    for (std::size_t a = 0; a < counts.size(); ++a) {
        double sum = 0;
        for (std::size_t b = a; b < std::min(counts.size(), a + max_width); ++b) {
            sum += gain[b];
            if (b + 1 - a >= min_width && sum > best) {
                best = sum;
                from = a;
                width = b + 1 - a;
            }
        }
    }
    return count_matrix(counts.begin() + static_cast<std::ptrdiff_t>(from), counts.begin() + static_cast<std::ptrdiff_t>(from + width));
}

std::vector<std::array<double, 4>> scores_of(const count_matrix& counts, const base_frequencies& background) {
    std::vector<std::array<double, 4>> scores;
    for (const auto& column : counts) scores.push_back(scores_from_counts(column, background));
    return scores;
}

// For the loops find_sites runs: the filter tables of the others would
// double the time a matrix takes to prepare, which every round pays for
// each seed.
scan_matrix prepared(const std::vector<std::array<double, 4>>& scores, double site_p, const base_frequencies& background) {
    motif m;
    m.scores = scores;
    return prepare_matrix(m, {false, site_p, background}, &best_kernels());
}

// The next counts: each target record's best site of p-value at most
// `site_p`, widened by `grow` columns either side where the record has
// them, its bases in the motif's orientation.
count_matrix counts_of_sites(const training& train, const std::vector<record_site>& sites, std::size_t width, double site_p) {
    count_matrix counts(width + 2 * grow, {0, 0, 0, 0});
    for (std::size_t i = 0; i < sites.size();) {
        std::size_t best = i;
        for (; i < sites.size() && sites[i].record == sites[best].record; ++i)
            if (sites[i].score > sites[best].score) best = i;
        const record_site& s = sites[best];
        if (s.record >= train.targets) break;
        if (s.p > site_p) continue;
        const std::string& positions = train.records[s.record].positions;
        for (std::size_t j = 0; j < counts.size(); ++j) {
            const auto at = s.minus ? static_cast<std::int64_t>(s.start + width - 1 + grow) - static_cast<std::int64_t>(j)
                                    : static_cast<std::int64_t>(s.start) - static_cast<std::int64_t>(grow) + static_cast<std::int64_t>(j);
            if (at < 0 || at >= static_cast<std::int64_t>(positions.size())) continue;
            const std::uint8_t b = base_code[static_cast<unsigned char>(positions[static_cast<std::size_t>(at)])];
            if (b < 4) counts[j][s.minus ? 3 - b : b] += 1;
        }
    }
    return counts;
}

// Records holding a site among [from, to).
std::uint64_t holding(const std::vector<bool>& with, std::size_t from, std::size_t to) {
    return static_cast<std::uint64_t>(std::count(with.begin() + static_cast<std::ptrdiff_t>(from), with.begin() + static_cast<std::ptrdiff_t>(to), true));
}

// The ladder's site p-value at which records holding a site are most
// enriched in the targets, as the motif will be judged: on the held-out
// records, a ninth as many as these. A loose threshold pays on many
// records (many more sites for somewhat more chance ones) but not on few,
// so the counts are scaled to the records judged on before Fisher's test;
// the test on all these records breaks ties. Its target records holding a
// site, and both tests' log p.
struct threshold_choice {
    double site_p = 1, judged_log_p = 0, log_p = 0;
    std::uint64_t targets_with = 0;
    bool better_than(const threshold_choice& other) const {
        if (judged_log_p != other.judged_log_p) return judged_log_p < other.judged_log_p;
        return log_p < other.log_p - 1e-9;
    }
};

threshold_choice best_threshold(const training& train, const std::vector<record_site>& sites) {
    // Each record's best site.
    std::vector<double> best(train.records.size(), 2);
    for (const record_site& s : sites) best[s.record] = std::min(best[s.record], s.p);
    const auto nt = static_cast<std::uint64_t>(train.targets), nc = static_cast<std::uint64_t>(train.controls);
    const auto scaled = [&](std::uint64_t n) { return static_cast<std::uint64_t>(std::llround(static_cast<double>(n) * train.judged_share)); };
    threshold_choice choice;
    for (const double p : site_ladder) {
        std::uint64_t t = 0, c = 0;
        for (std::size_t r = 0; r < best.size(); ++r)
            if (best[r] <= p) ++(r < train.targets ? t : c);
        const threshold_choice here{p, log_upper_tail(scaled(t), scaled(nt), scaled(t) + scaled(c), scaled(nt) + scaled(nc)),
                                    log_upper_tail(t, nt, t + c, nt + nc), t};
        if (here.better_than(choice)) choice = here;
    }
    return choice;
}

struct candidate {
    count_matrix current, best;
    threshold_choice chosen;
    std::size_t idle = 0;  // rounds since the best
    bool active = true;
};

bool stopped(const discover_settings& settings) { return settings.stop && settings.stop->load(std::memory_order_relaxed); }

// The seeds refined; the best motif's counts and its site p-value.
candidate refined_best(const training& train, const std::vector<count_matrix>& seed_matrices, const discover_settings& settings) {
    std::vector<candidate> candidates;
    for (const count_matrix& seed : seed_matrices) {
        // The seed in the middle of the widest motif allowed, blank around:
        // the sites' flanks fill the blank columns as far as the motif goes.
        candidate c;
        const std::size_t before = (settings.max_width - std::min(seed.size(), settings.max_width)) / 2;
        c.current.assign(settings.max_width, {0, 0, 0, 0});
        std::copy(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(std::min(seed.size(), settings.max_width)),
                  c.current.begin() + static_cast<std::ptrdiff_t>(before));
        candidates.push_back(c);
    }
    const record_batches batches(train.records, max_discover_width);
    for (std::size_t round = 0; round < rounds_of_refinement && !stopped(settings); ++round) {
        std::vector<std::size_t> active;
        std::vector<scan_matrix> matrices;
        for (std::size_t i = 0; i < candidates.size(); ++i)
            if (candidates[i].active) {
                active.push_back(i);
                matrices.push_back(prepared(scores_of(candidates[i].current, settings.background), site_ladder[0], settings.background));
            }
        if (active.empty()) break;
        const std::vector<std::vector<record_site>> sites = find_sites(batches, matrices, settings.threads);
        for (std::size_t k = 0; k < active.size(); ++k) {
            candidate& c = candidates[active[k]];
            const threshold_choice choice = best_threshold(train, sites[k]);
            if (choice.better_than(c.chosen)) {
                c.best = c.current;
                c.chosen = choice;
                c.idle = 0;
            } else if (++c.idle == patience) {
                c.active = false;
                continue;
            }
            // The window of the same width that holds most information
            // in the sites widened by `grow`: it slides towards the motif.
            count_matrix next = trimmed(counts_of_sites(train, sites[k], c.current.size(), choice.site_p), c.current.size(),
                                        c.current.size(), settings.background);
            // A matrix that gives itself again would only go on giving the
            // same sites until its patience ran out.
            if (next == c.current) c.active = false;
            c.current = std::move(next);
        }
    }
    // Each refined matrix trimmed to its informative width, and its site
    // p-value chosen anew for that width; the most enriched of them.
    std::vector<scan_matrix> matrices;
    std::vector<count_matrix> final;
    for (const candidate& c : candidates) {
        if (c.best.empty()) continue;
        count_matrix narrowed = trimmed(c.best, settings.min_width, settings.max_width, settings.background);
        if (tandem_repeat(consensus_bases(narrowed))) continue;
        final.push_back(std::move(narrowed));
        matrices.push_back(prepared(scores_of(final.back(), settings.background), site_ladder[0], settings.background));
    }
    const std::vector<std::vector<record_site>> sites = find_sites(batches, matrices, settings.threads);
    candidate best;
    for (std::size_t k = 0; k < final.size(); ++k) {
        const threshold_choice choice = best_threshold(train, sites[k]);
        if (best.best.empty() || choice.log_p < best.chosen.log_p) {
            best.best = final[k];
            best.chosen = choice;
        }
    }
    return best;
}

std::vector<std::size_t> picked_tenth(std::size_t count, std::uint64_t seed) {
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    random_bits random(seed);
    for (std::size_t i = count; i > 1; --i) std::swap(order[i - 1], order[random.below(i)]);
    order.resize((count + 5) / 10);
    return order;
}

}  // namespace

void pick_held_out(const search_records& records, std::uint64_t seed, std::vector<bool>& targets, std::vector<bool>& controls) {
    targets.assign(records.targets.size(), false);
    controls.assign(records.controls.size(), false);
    if (records.targets.size() < least_to_hold_out) return;
    for (const std::size_t i : picked_tenth(records.targets.size(), record_seed(seed, 0, 1))) targets[i] = true;
    bool own = false;
    for (std::size_t i = 0; i < records.controls.size(); ++i) {
        if (records.source[i] >= 0) {
            controls[i] = targets[static_cast<std::size_t>(records.source[i])];
        } else {
            own = true;
        }
    }
    if (own)
        for (const std::size_t i : picked_tenth(records.controls.size(), record_seed(seed, 1, 1))) controls[i] = true;
}

std::vector<std::array<double, 4>> scores_as_written(const std::vector<std::array<double, 4>>& probabilities,
                                                     std::uint64_t sites, const base_frequencies& background) {
    // As the MEME reader reads the text: each number as printed, times the
    // site count as printed, scored as counts.
    std::vector<std::array<double, 4>> scores;
    for (const auto& column : probabilities) {
        std::array<double, 4> counts;
        for (int b = 0; b < 4; ++b) {
            char text[32];
            std::snprintf(text, sizeof text, "%.6f", column[b]);
            counts[b] = std::strtod(text, nullptr) * static_cast<double>(sites);
        }
        scores.push_back(scores_from_counts(counts, background));
    }
    return scores;
}

namespace {

// The search proper; `calibrated`, where given, makes each motif's log p on
// the records judged on the one reported.
discovery searched(const search_records& records, const discover_settings& settings,
                   const std::function<double(double)>& calibrated,
                   const std::function<void(const found_motif&, std::size_t rank)>& found) {
    discovery result;
    pick_held_out(records, settings.seed, result.target_held_out, result.control_held_out);
    result.held_out = std::find(result.target_held_out.begin(), result.target_held_out.end(), true) != result.target_held_out.end();

    // Training records (all, where none are held out), and those judged on.
    training train;
    std::vector<sequence_record> judged, all = records.targets;
    all.insert(all.end(), records.controls.begin(), records.controls.end());
    std::size_t judged_targets = 0;
    for (std::size_t i = 0; i < records.targets.size(); ++i) {
        if (!result.target_held_out[i]) train.records.push_back(records.targets[i]);
        if (result.target_held_out[i] || !result.held_out) judged.push_back(records.targets[i]);
    }
    train.targets = train.records.size();
    judged_targets = judged.size();
    for (std::size_t i = 0; i < records.controls.size(); ++i) {
        if (!result.control_held_out[i]) train.records.push_back(records.controls[i]);
        if (result.control_held_out[i] || !result.held_out) judged.push_back(records.controls[i]);
    }
    train.controls = train.records.size() - train.targets;
    if (result.held_out) train.judged_share = static_cast<double>(judged_targets) / static_cast<double>(train.targets);
    const record_batches judged_batches(judged, max_discover_width), all_batches(all, max_discover_width);

    const std::size_t length = std::min(seed_length, settings.min_width);
    for (std::size_t rank = 1; rank <= settings.motifs && !stopped(settings); ++rank) {
        const std::vector<count_matrix> seed_matrices = seeds(train, length, settings.max_width);
        if (seed_matrices.empty()) break;
        const candidate best = refined_best(train, seed_matrices, settings);
        if (best.best.empty() || best.chosen.targets_with == 0) break;

        found_motif m;
        m.sites = best.chosen.targets_with;
        m.site_p = best.chosen.site_p;
        for (const auto& column : best.best) {
            const double total = column[0] + column[1] + column[2] + column[3];
            std::array<double, 4> f;
            for (int b = 0; b < 4; ++b) f[b] = total > 0 ? column[b] / total : settings.background[b];
            m.probabilities.push_back(f);
        }
        m.scores = scores_as_written(m.probabilities, m.sites, settings.background);
        const double masked_p = std::min(site_ladder[0], m.site_p * masked_beyond);
        const scan_matrix written = prepared(m.scores, masked_p, settings.background);

        const std::vector<bool> judged_with = records_with(find_sites(judged_batches, {written}, settings.threads)[0], judged.size(), m.site_p);
        const std::vector<bool> all_with = records_with(find_sites(all_batches, {written}, settings.threads)[0], all.size(), m.site_p);
        m.held_targets = judged_targets;
        m.held_controls = judged.size() - judged_targets;
        m.held_targets_with = holding(judged_with, 0, judged_targets);
        m.held_controls_with = holding(judged_with, judged_targets, judged.size());
        m.targets = records.targets.size();
        m.controls = records.controls.size();
        m.targets_with = holding(all_with, 0, m.targets);
        m.controls_with = holding(all_with, m.targets, all.size());
        m.log_p = log_upper_tail(m.held_targets_with, m.held_targets, m.held_targets_with + m.held_controls_with,
                                 m.held_targets + m.held_controls);
        if (calibrated) m.log_p = calibrated(m.log_p);
        m.log_e = m.log_p + std::log(static_cast<double>(rank));
        if (m.log_e > std::log(settings.evalue)) break;
        found(m, rank);
        result.motifs.push_back(m);

        // Its sites masked, so that the next round finds another motif.
        const record_batches batches(train.records, max_discover_width);
        mask_sites(train.records, find_sites(batches, {written}, settings.threads)[0], written.width);
    }
    return result;
}

// The null searches' best scores (-log p of their first motif), in the
// order of their seeds: the same search on shuffles of the targets (their
// trinucleotides kept) against shuffles of those, as many as the controls.
std::vector<double> null_search_scores(const search_records& records, const discover_settings& settings) {
    // Only the best score of each is wanted: its first motif, whatever its
    // E-value; the searches themselves spread over the threads.
    discover_settings first = settings;
    first.motifs = 1;
    first.evalue = INFINITY;
    first.threads = 1;
    const std::size_t targets = records.targets.size();
    std::vector<double> scores(settings.null_searches);
    parallel_for(scores.size(), settings.threads, [&](std::size_t i) {
        const std::uint64_t seed = record_seed(settings.seed, i, 2);
        search_records null;
        for (std::size_t t = 0; t < targets; ++t) {
            random_bits random(record_seed(seed, t, 0));
            null.targets.push_back({records.targets[t].name, shuffled_record(records.targets[t].positions, 3, random)});
        }
        for (std::size_t c = 0; c < records.controls.size(); ++c) {
            const std::size_t from = records.source[c] >= 0 ? static_cast<std::size_t>(records.source[c]) : c % targets;
            random_bits random(record_seed(seed, c, 1));
            null.controls.push_back({records.controls[c].name, shuffled_record(null.targets[from].positions, settings.shuffle_kmer, random)});
            null.source.push_back(static_cast<std::int64_t>(from));
        }
        const discovery d = searched(null, first, nullptr, [](const found_motif&, std::size_t) {});
        scores[i] = d.motifs.empty() ? 0 : -d.motifs[0].log_p;
    });
    return scores;
}

// The p-value of a motif of score `score` (-log p) among searches whose best
// scores were `nulls`, by the extreme-value (Gumbel) distribution fitted to
// them by moments: its log.
double log_p_among(const std::vector<double>& nulls, double score) {
    const double n = static_cast<double>(nulls.size());
    const double mean = std::accumulate(nulls.begin(), nulls.end(), 0.0) / n;
    double squares = 0;
    for (const double x : nulls) squares += (x - mean) * (x - mean);
    // Nulls all alike leave no spread to fit: a narrow one stands in.
    const double scale = std::max(1e-3, std::sqrt(squares / (n - 1)) * std::sqrt(6.0) / M_PI);
    const double location = mean - 0.5772156649015329 * scale;
    const double z = (score - location) / scale;
    // 1 - exp(-exp(-z)), which is exp(-z) where that is below the doubles.
    return z > 700 ? -z : std::log(-std::expm1(-std::exp(-z)));
}

}  // namespace

discovery discover_motifs(const search_records& records, const discover_settings& settings,
                          const std::function<void(const found_motif&, std::size_t rank)>& found) {
    if (records.targets.size() >= least_to_hold_out || settings.null_searches == 0) return searched(records, settings, nullptr, found);
    const std::vector<double> nulls = null_search_scores(records, settings);
    discovery result = searched(records, settings, [&](double log_p) { return log_p_among(nulls, -log_p); }, found);
    result.null_searches = nulls.size();
    return result;
}
