#include "sites.h"

#include <algorithm>

#include "parallel_for.h"

record_batches::record_batches(const std::vector<sequence_record>& records, std::size_t widest) {
    batch_filler filler(1 << 18, widest - 1, [&](sequence_batch& full) { batches.push_back(std::move(full)); });
    for (std::size_t i = 0; i < records.size(); ++i)
        filler.add("", i, 0, records[i].positions.data(), records[i].positions.size());
    filler.end();
}

std::vector<std::vector<record_site>> find_sites(const record_batches& records, const std::vector<scan_matrix>& matrices,
                                                 unsigned threads) {
    std::vector<std::vector<std::vector<record_site>>> found(records.batches.size(),
                                                             std::vector<std::vector<record_site>>(matrices.size()));
    scan_settings settings;
    parallel_for(records.batches.size(), threads, [&](std::size_t b) {
        thread_local scan_scratch scratch;
        std::string out;
        const sequence_batch& batch = records.batches[b];
        scan_batch(
            batch, matrices, settings, scratch,
            [&](const sequence_batch& in, const site& s, std::string&) {
                found[b][s.matrix].push_back({static_cast<std::uint32_t>(in.pieces[s.piece].record_index),
                                              static_cast<std::uint32_t>(s.start), s.minus, s.score,
                                              p_value(matrices[s.matrix].grid, s.cell)});
            },
            out, [](std::string& text) { text.clear(); });
    });
    std::vector<std::vector<record_site>> sites(matrices.size());
    for (const auto& batch : found)
        for (std::size_t m = 0; m < matrices.size(); ++m) sites[m].insert(sites[m].end(), batch[m].begin(), batch[m].end());
    return sites;
}

std::vector<bool> records_with(const std::vector<record_site>& sites, std::size_t count, double p) {
    std::vector<bool> with(count);
    for (const record_site& s : sites)
        if (s.p <= p) with[s.record] = true;
    return with;
}

void mask_sites(std::vector<sequence_record>& records, const std::vector<record_site>& sites, std::size_t width) {
    for (const record_site& s : sites) {
        std::string& positions = records[s.record].positions;
        std::fill(positions.begin() + s.start, positions.begin() + s.start + static_cast<std::ptrdiff_t>(width), 'N');
    }
}
