// The fast scan of a batch. Its pieces become one array of base codes, one
// code of "not a base" between them, so that short records (peaks,
// promoters) pass through the loops like one long one. The array is cut
// into chunks that stay in cache while every motif's filter passes over
// them, strand by strand; the few windows that pass are checked exactly, and
// the chunk's sites go out in order.
#include <algorithm>

#include "kernels.h"
#include "pipeline.h"

namespace {

constexpr std::size_t spill_bytes = 4 << 20;
// Sites of one chunk held at once: 40 bytes each, twice over for merging.
constexpr std::size_t max_chunk_sites = 1 << 16;

// The first position from `from` on whose bit is `set` in bits of
// `positions` positions; every position past them counts as set.
std::size_t next_with(const std::uint64_t* bits, std::size_t positions, std::size_t from, bool set) {
    while (from < positions) {
        std::uint64_t word = bits[from / 64] ^ (set ? 0 : ~std::uint64_t{0});
        word &= ~std::uint64_t{0} << (from % 64);
        if (word != 0) return std::min(positions, from / 64 * 64 + static_cast<std::size_t>(__builtin_ctzll(word)));
        from = from / 64 * 64 + 64;
    }
    return set ? from : SIZE_MAX;
}

// The windows of `width` starting at base..base+63 that hold a position
// marked in `bad`.
std::uint64_t bad_windows(const std::uint64_t* bad, std::size_t positions, std::size_t base, std::size_t width) {
    std::uint64_t mask = 0;
    const std::size_t end = base + 63 + width;  // bad positions from here on touch none of them
    for (std::size_t p = next_with(bad, positions, base, true); p < end;) {
        const std::size_t q = next_with(bad, positions, p, false);  // the run of bad positions [p, q)
        const std::size_t lo = p + 1 >= base + width ? p + 1 - width : base;
        const std::size_t hi = std::min(base + 63, q - 1);
        if (lo <= hi) {
            const std::size_t count = hi - lo + 1;
            mask |= (count == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << count) - 1)) << (lo - base);
        }
        if (q == SIZE_MAX) break;
        p = next_with(bad, positions, q, true);
    }
    return mask;
}

bool before(const site& a, const site& b) { return a.piece != b.piece ? a.piece < b.piece : a.start < b.start; }

// Merges the sorted runs of `sites` starting at `runs` pairwise, the
// earlier first where positions tie, until at most two are left; `runs`
// becomes their bounds, the end of the last included.
void merge_runs(std::vector<site>& sites, std::vector<std::size_t>& runs, std::vector<site>& spare) {
    runs.push_back(sites.size());
    // Empty runs merge into nothing: dropped first.
    runs.erase(std::unique(runs.begin(), runs.end()), runs.end());
    while (runs.size() > 3) {
        spare.resize(sites.size());
        std::vector<std::size_t> merged_runs;
        std::size_t r = 0;
        for (; r + 2 < runs.size(); r += 2) {
            std::merge(sites.begin() + static_cast<std::ptrdiff_t>(runs[r]), sites.begin() + static_cast<std::ptrdiff_t>(runs[r + 1]),
                       sites.begin() + static_cast<std::ptrdiff_t>(runs[r + 1]), sites.begin() + static_cast<std::ptrdiff_t>(runs[r + 2]),
                       spare.begin() + static_cast<std::ptrdiff_t>(runs[r]), before);
            merged_runs.push_back(runs[r]);
        }
        if (r + 1 < runs.size()) {
            std::copy(sites.begin() + static_cast<std::ptrdiff_t>(runs[r]), sites.begin() + static_cast<std::ptrdiff_t>(runs[r + 1]),
                      spare.begin() + static_cast<std::ptrdiff_t>(runs[r]));
            merged_runs.push_back(runs[r]);
        }
        merged_runs.push_back(sites.size());
        sites.swap(spare);
        runs.swap(merged_runs);
    }
}

}  // namespace

void scan_batch(const sequence_batch& batch, const std::vector<scan_matrix>& matrices, const scan_settings& settings,
                scan_scratch& scratch, const site_reporter& report, std::string& out,
                const std::function<void(std::string&)>& spill) {
    const scan_kernels& kernels = kernels_in_use(settings);
    std::size_t widest = 0, orientations = 0;
    for (const scan_matrix& m : matrices) {
        widest = std::max(widest, m.width);
        if (!m.hopeless) orientations += settings.plus + settings.minus;
    }
    if (batch.pieces.empty() || orientations == 0) return;

    // The codes: each piece, then one "not a base"; then enough of those for
    // every window and every table lookup to stay inside.
    auto& offsets = scratch.offsets;
    offsets.clear();
    std::size_t total = 0;
    for (const sequence_piece& piece : batch.pieces) {
        offsets.push_back(total);
        total += piece.length + 1;
    }
    const std::size_t prepared = (total + widest + 63) / 64 * 64;
    scratch.codes.resize(prepared + code_padding);
    std::uint8_t* codes = scratch.codes.data();
    for (std::size_t i = 0; i < batch.pieces.size(); ++i) {
        const sequence_piece& piece = batch.pieces[i];
        kernels.encode(batch.bytes.data() + piece.begin, piece.length, codes + offsets[i]);
        codes[offsets[i] + piece.length] = 4;
    }
    std::fill(codes + total, codes + scratch.codes.size(), 4);
    scratch.grouped.resize(prepared + code_padding);
    scratch.bad.resize(prepared / 64);
    kernels.prepare(codes, prepared, scratch.grouped.data(), scratch.bad.data());
    const std::uint64_t* bad = scratch.bad.data();

    // Per block of 64 windows, the widest motif none of whose windows there
    // holds a position that is not a base.
    const std::size_t blocks = (total + 63) / 64;
    scratch.clean.resize(blocks);
    std::size_t next_bad = prepared;
    for (std::size_t b = prepared / 64; b-- > 0;) {
        if (bad[b] != 0) next_bad = 64 * b + static_cast<std::size_t>(__builtin_ctzll(bad[b]));
        if (b < blocks) scratch.clean[b] = static_cast<std::uint32_t>(next_bad > 64 * b + 63 ? next_bad - (64 * b + 63) : 0);
    }

    // Chunks small enough that their codes stay in cache while every motif
    // passes over them. A loose threshold passes most windows: a chunk whose
    // sites outgrow max_chunk_sites is scanned again in halves, and later
    // chunks stay that small until their sites are few again, so memory stays
    // bounded whatever the threshold (at worst 64 sites per orientation, a
    // chunk of one block).
    const std::size_t chunk = std::clamp<std::size_t>((std::size_t{1} << 17) / orientations, 16, 256);
    scratch.passed.resize(chunk);
    std::size_t span = chunk;
    for (std::size_t first = 0; first < blocks;) {
        const std::size_t count = std::min(span, blocks - first);
        scratch.found.clear();
        scratch.runs.clear();
        bool overflowed = false;
        for (std::uint32_t index = 0; index < matrices.size() && !overflowed; ++index) {
            const scan_matrix& m = matrices[index];
            if (m.hopeless) continue;
            for (const bool minus : {false, true}) {
                if (!(minus ? settings.minus : settings.plus)) continue;
                scratch.runs.push_back(scratch.found.size());
                const std::size_t passed = kernels.filter(minus ? m.reverse : m.forward,
                                                          scratch.grouped.data() + 64 * first, count, scratch.passed.data());
                for (std::size_t k = 0; k < passed; ++k) {
                    std::uint64_t mask = scratch.passed[k].mask;
                    const std::size_t block = first + scratch.passed[k].block, base = 64 * block;
                    if (m.width > scratch.clean[block]) mask &= ~bad_windows(bad, prepared, base, m.width);
                    for (; mask != 0; mask &= mask - 1) {
                        const std::size_t start = base + static_cast<std::size_t>(__builtin_ctzll(mask));
                        const auto piece = static_cast<std::uint32_t>(
                            std::upper_bound(offsets.begin(), offsets.end(), start) - offsets.begin() - 1);
                        const std::size_t offset = start - offsets[piece];
                        // Windows starting in the last widest - 1 positions of a
                        // piece whose record goes on are scanned in the next batch.
                        if (batch.pieces[piece].goes_on && offset + widest - 1 >= batch.pieces[piece].length) continue;
                        double score;
                        std::int64_t cell;
                        if (check_window(m, codes + start, minus, score, cell)) {
                            scratch.found.push_back({batch.pieces[piece].first_position + offset, piece, index, minus, score, cell});
                            // With many motifs their p-values are far from the cache
                            // by the time the chunk's sites are reported.
                            if (!m.wanted.by_score || cell >= m.grid.lowest)
                                __builtin_prefetch(&m.grid.tail[static_cast<std::size_t>(cell - m.grid.lowest)]);
                        }
                    }
                }
            }
            overflowed = count > 1 && scratch.found.size() > max_chunk_sites;
        }
        if (overflowed) {
            span = count / 2;
            continue;
        }
        first += count;
        if (scratch.found.size() < max_chunk_sites / 4) span = std::min(chunk, 2 * span);
        // Each strand's sites came as a run in order of position, the runs
        // in order of motif, + before -: merged by position, runs before
        // later runs where positions tie, they go by piece and start, then
        // motif, then strand. The last two runs (at a loose threshold, tens
        // of thousands of sites each) are merged as they are reported, not
        // copied.
        merge_runs(scratch.found, scratch.runs, scratch.merged);
        const std::vector<site>& found = scratch.found;
        const std::size_t split = scratch.runs.size() > 2 ? scratch.runs[1] : found.size();
        for (std::size_t a = 0, b = split; a < split || b < found.size();) {
            report(batch, found[b == found.size() || (a < split && !before(found[b], found[a])) ? a++ : b++], out);
            if (out.size() >= spill_bytes) spill(out);
        }
    }
}
