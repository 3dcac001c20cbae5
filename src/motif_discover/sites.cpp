#include "sites.h"

#include <algorithm>

#include "parallel_for.h"

record_batches::record_batches(const std::vector<sequence_record>& records, std::size_t widest) {
    // As scan_records cuts them: a record longer than a batch goes on in the
    // next, which starts with its last widest - 1 positions.
    const std::size_t batch_bytes = 1 << 18, carry = widest - 1;
    sequence_batch batch;
    batch.bytes.resize(batch_bytes);
    const auto close = [&] {
        if (!batch.pieces.empty()) batches.push_back(std::move(batch));
        batch = sequence_batch{};
        batch.bytes.resize(batch_bytes);
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::string& positions = records[i].positions;
        for (std::size_t at = 0; at < positions.size();) {
            if (batch.used == batch_bytes) close();
            const std::size_t length = std::min(batch_bytes - batch.used, positions.size() - at);
            std::copy(positions.begin() + static_cast<std::ptrdiff_t>(at), positions.begin() + static_cast<std::ptrdiff_t>(at + length),
                      batch.bytes.begin() + static_cast<std::ptrdiff_t>(batch.used));
            const bool goes_on = at + length < positions.size();
            batch.pieces.push_back({"", i, at, batch.used, length, goes_on});
            batch.used += length;
            at += length;
            if (goes_on) {
                at -= std::min(carry, length);
                close();
            }
        }
    }
    close();
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
