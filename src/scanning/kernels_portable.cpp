// The portable loops, a byte or a window at a time: for processors without
// the vector instructions, and the reference the vector loops are tested
// against.
#include <algorithm>

#include "bases.h"
#include "kernels.h"

namespace {

void encode(const char* bytes, std::size_t n, std::uint8_t* codes) {
    for (std::size_t i = 0; i < n; ++i) codes[i] = base_code[static_cast<unsigned char>(bytes[i])];
}

void prepare(const std::uint8_t* codes, std::size_t n, std::uint8_t* grouped, std::uint64_t* bad) {
    std::fill(bad, bad + n / 64, 0);
    for (std::size_t i = 0; i < n; ++i) {
        grouped[i] = static_cast<std::uint8_t>((codes[i] & 3) << 4 | (codes[i + 1] & 3) << 2 | (codes[i + 2] & 3));
        if (codes[i] == 4) bad[i / 64] |= std::uint64_t{1} << (i % 64);
    }
}

// A window at a time, each stopped as soon as its units pass the limit.
std::size_t filter(const strand_filter& f, const std::uint8_t* grouped, std::size_t blocks, passed_block* passed) {
    const group_filter& groups = f.triples;
    std::size_t count = 0;
    for (std::size_t b = 0; b < blocks; ++b) {
        std::uint64_t mask = 0;
        for (unsigned j = 0; j < 64; ++j) {
            const std::uint8_t* window = grouped + 64 * b + j;
            unsigned sum = 0;
            for (std::size_t g = 0; g < groups.lookups && sum <= filter_limit; ++g)
                sum += groups.tables[g].entry[window[groups.offsets[g]]];
            if (sum <= filter_limit) mask |= std::uint64_t{1} << j;
        }
        if (mask != 0) passed[count++] = {mask, b};
    }
    return count;
}

// Nothing at once: the reader copies byte by byte.
std::size_t copy_positions(const char*, std::size_t, char*, std::size_t, std::size_t& written) {
    written = 0;
    return 0;
}

}  // namespace

const scan_kernels& portable_kernels() {
    static const scan_kernels kernels{"portable", false, encode, prepare, filter, copy_positions};
    return kernels;
}
