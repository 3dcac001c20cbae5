#include "known_enrichment.h"

#include <algorithm>
#include <atomic>

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

}  // namespace

std::vector<enrichment> enrich_known_motifs(const std::vector<scan_matrix>& matrices, const std::vector<sequence_record>& targets,
                                            const std::vector<sequence_record>& controls, const scan_settings& settings) {
    // Targets then controls, one record index each.
    const std::uint64_t target_count = targets.size(), control_count = controls.size();
    site_bits hits(matrices.size(), target_count + control_count);
    std::size_t widest = 0;
    for (const scan_matrix& m : matrices) widest = std::max(widest, m.width);
    pipeline scans(
        matrices, settings,
        [&](const sequence_batch& batch, const site& s, std::string&) { hits.mark(s.matrix, batch.pieces[s.piece].record_index); },
        1);
    scan_records(targets, 0, widest - 1, scans, settings);
    scan_records(controls, target_count, widest - 1, scans, settings);
    scans.finish();

    std::vector<enrichment> results;
    std::vector<double> log_p;
    for (std::size_t m = 0; m < matrices.size(); ++m) {
        const std::uint64_t t = hits.count(m, 0, target_count), c = hits.count(m, target_count, target_count + control_count);
        const double enriched = ((static_cast<double>(t) + 1) / (static_cast<double>(target_count) + 1)) /
                                ((static_cast<double>(c) + 1) / (static_cast<double>(control_count) + 1));
        results.push_back({m, t, c, enriched, log_upper_tail(t, target_count, t + c, target_count + control_count), 0});
        log_p.push_back(results.back().log_p);
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
