#include "known_enrichment.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "comparing.h"
#include "report.h"
#include "statistics.h"

namespace {

// Per motif, which records hold a site: a bit per record, set from any thread.
struct site_bits {
    site_bits(std::size_t motifs, std::size_t records) : words((records + 63) / 64), bits(checked_product(motifs, words)) {
        for (auto& word : bits) word.store(0, std::memory_order_relaxed);
    }
    void mark(std::size_t motif, std::uint64_t record) {
        bits[motif * words + record / 64].fetch_or(std::uint64_t{1} << (record % 64), std::memory_order_relaxed);
    }
    // How many of the records [from, to) hold a site of the motif.
    std::uint64_t count(std::size_t motif, std::uint64_t from, std::uint64_t to) const {
        std::uint64_t n = 0;
        for (std::uint64_t w = from / 64; w * 64 < to; ++w) {
            std::uint64_t word = bits[motif * words + w].load(std::memory_order_relaxed);
            if (w == from / 64) word &= ~std::uint64_t{0} << (from % 64);
            if ((w + 1) * 64 > to) word &= ~(~std::uint64_t{0} << (to % 64));
            n += static_cast<std::uint64_t>(__builtin_popcountll(word));
        }
        return n;
    }
    std::size_t words;
    std::vector<std::atomic<std::uint64_t>> bits;
};

// The windows a site of `width` can start in, over the records.
std::uint64_t windows(const std::vector<sequence_record>& records, std::size_t width) {
    std::uint64_t n = 0;
    for (const sequence_record& r : records)
        if (r.positions.size() >= width) n += r.positions.size() - width + 1;
    return n;
}

}  // namespace

std::vector<enrichment> enrich_known_motifs(const std::vector<scan_matrix>& matrices, const std::vector<sequence_record>& targets,
                                            const std::vector<sequence_record>& controls, const scan_settings& settings,
                                            counting counted, const std::function<void(double)>& progress) {
    // Targets then controls, one record index each.
    const std::uint64_t target_count = targets.size(), control_count = controls.size();
    site_bits hits(matrices.size(), counted == counting::records ? target_count + control_count : 0);
    // Counting sites: each motif's in targets, then in controls.
    std::vector<std::atomic<std::uint64_t>> sites(counted == counting::sites ? 2 * matrices.size() : 0);
    for (auto& n : sites) n.store(0, std::memory_order_relaxed);
    std::size_t widest = 0;
    for (const scan_matrix& m : matrices) widest = std::max(widest, m.width);
    pipeline scans(
        matrices, settings,
        [&](const sequence_batch& batch, const site& s, std::string&) {
            const std::uint64_t record = batch.pieces[s.piece].record_index;
            if (counted == counting::records) {
                hits.mark(s.matrix, record);
            } else {
                sites[2 * s.matrix + (record >= target_count)].fetch_add(1, std::memory_order_relaxed);
            }
        },
        1);
    const auto handed = [&](std::uint64_t before) -> std::function<void(std::size_t)> {
        if (!progress) return {};
        const double all = static_cast<double>(target_count + control_count);
        return [&progress, before, all](std::size_t records) { progress(static_cast<double>(before + records) / all); };
    };
    scan_records(targets, 0, widest - 1, scans, settings, handed(0));
    scan_records(controls, target_count, widest - 1, scans, settings, handed(target_count));
    scans.finish();

    std::vector<enrichment> results;
    std::vector<double> log_p;
    for (std::size_t m = 0; m < matrices.size(); ++m) {
        enrichment r{m, 0, 0, target_count, control_count, 0, 0, 0};
        if (counted == counting::records) {
            r.in_targets = hits.count(m, 0, target_count);
            r.in_controls = hits.count(m, target_count, target_count + control_count);
            r.log_p = log_upper_tail(r.in_targets, target_count, r.in_targets + r.in_controls, target_count + control_count);
        } else {
            r.in_targets = sites[2 * m].load(std::memory_order_relaxed);
            r.in_controls = sites[2 * m + 1].load(std::memory_order_relaxed);
            r.of_targets = windows(targets, matrices[m].width);
            r.of_controls = windows(controls, matrices[m].width);
            const double share = r.of_targets + r.of_controls == 0
                                     ? 0
                                     : static_cast<double>(r.of_targets) / static_cast<double>(r.of_targets + r.of_controls);
            r.log_p = log_binomial_upper_tail(r.in_targets, r.in_targets + r.in_controls, share);
        }
        r.enrichment = ((static_cast<double>(r.in_targets) + 1) / (static_cast<double>(r.of_targets) + 1)) /
                       ((static_cast<double>(r.in_controls) + 1) / (static_cast<double>(r.of_controls) + 1));
        results.push_back(r);
        log_p.push_back(r.log_p);
    }
    const std::vector<double> log_q = log_q_values(log_p);
    for (enrichment& r : results) r.log_q = log_q[r.motif];
    std::stable_sort(results.begin(), results.end(), [](const enrichment& a, const enrichment& b) { return a.log_p < b.log_p; });
    return results;
}

std::vector<std::vector<std::size_t>> resemblances(const std::vector<motif>& motifs, unsigned threads) {
    std::vector<motif> comparable;
    std::vector<std::size_t> index;
    for (std::size_t i = 0; i < motifs.size(); ++i)
        if (motifs[i].scores.size() <= max_compare_width) {
            comparable.push_back(motifs[i]);
            index.push_back(i);
        }
    compare_settings settings;
    settings.max_q = 0.01;
    settings.threads = threads;
    const std::vector<std::vector<motif_match>> matches = compare_motifs(comparable, comparable, settings);
    std::vector<std::vector<std::size_t>> resembles(motifs.size());
    for (std::size_t q = 0; q < comparable.size(); ++q)
        for (const motif_match& m : matches[q])
            if (m.target != q) resembles[index[q]].push_back(index[m.target]);
    return resembles;
}

motif_families fold_families(const std::vector<std::vector<std::size_t>>& resembles) {
    motif_families families;
    families.like.assign(resembles.size(), SIZE_MAX);
    families.first.resize(resembles.size());
    for (std::size_t r = 0; r < resembles.size(); ++r) {
        for (const std::size_t other : resembles[r])
            if (other < r) families.like[r] = std::min(families.like[r], other);
        families.first[r] = families.like[r] == SIZE_MAX ? r : families.first[families.like[r]];
    }
    return families;
}
