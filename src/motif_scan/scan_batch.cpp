// The fast scan of a batch: base codes in bulk, the filter over every
// window, and the exact score of the few windows that pass it.
#include <algorithm>

#include "pipeline.h"

namespace {

constexpr std::size_t spill_bytes = 4 << 20;

}  // namespace

void scan_batch(const sequence_batch& batch, const std::vector<scan_matrix>& matrices, const scan_settings& settings,
                scan_scratch& scratch, std::string& out, const std::function<void(std::string&)>& spill) {
    std::size_t widest = 0;
    for (const scan_matrix& m : matrices) widest = std::max(widest, m.width);
    const std::uint64_t strands = (settings.plus ? 0xffffffffu : 0) | (settings.minus ? std::uint64_t{0xffffffffu} << 32 : 0);
    for (const sequence_piece& piece : batch.pieces) {
        const char* bytes = batch.bytes.data() + piece.begin;
        scratch.codes.resize(piece.length + widest + code_padding);
        encode_bases(bytes, piece.length, scratch.codes.data(), settings.vector);
        std::fill(scratch.codes.begin() + static_cast<std::ptrdiff_t>(piece.length), scratch.codes.end(), 4);
        const std::uint8_t* codes = scratch.codes.data();
        // Windows starting in a piece's last widest - 1 positions are
        // scanned in the next batch if the record goes on there.
        const std::size_t end = piece.goes_on ? piece.length - std::min(piece.length, widest - 1) : piece.length;
        scratch.found.clear();
        for (std::uint32_t index = 0; index < matrices.size(); ++index) {
            const scan_matrix& m = matrices[index];
            if (m.hopeless || piece.length < m.width) continue;
            const std::size_t count = std::min(end, piece.length - m.width + 1);
            if (count == 0) continue;
            scratch.masks.resize((count + 31) / 32);
            filter_windows(m, codes, count, scratch.masks.data(), settings.vector);
            for (std::size_t block = 0; block < scratch.masks.size(); ++block) {
                const std::uint64_t mask = scratch.masks[block] & strands;
                // Each window that passed, forward strand before reverse.
                for (std::uint32_t both = static_cast<std::uint32_t>(mask | mask >> 32); both != 0; both &= both - 1) {
                    const unsigned bit = static_cast<unsigned>(__builtin_ctz(both));
                    const std::size_t i = block * 32 + bit;
                    const std::uint64_t start = piece.first_position + i;
                    if (mask >> bit & 1) check_window(m, index, codes + i, start, false, scratch.found);
                    if (mask >> (32 + bit) & 1) check_window(m, index, codes + i, start, true, scratch.found);
                }
            }
        }
        // Each matrix's sites came in order; all of them go by start, then
        // matrix, then strand.
        if (matrices.size() > 1)
            std::sort(scratch.found.begin(), scratch.found.end(), [](const site& a, const site& b) {
                return a.start != b.start ? a.start < b.start : a.matrix != b.matrix ? a.matrix < b.matrix : a.minus < b.minus;
            });
        for (const site& s : scratch.found) {
            append_site(out, piece.record, s, matrices[s.matrix], bytes + (s.start - piece.first_position));
            if (out.size() >= spill_bytes) spill(out);
        }
    }
}
