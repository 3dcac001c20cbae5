#include "base_counts.h"

#include <algorithm>

#include "bases.h"

void base_counts::add(const char* bytes, std::size_t size) {
    // Four tallies in turn: a run of one base would otherwise wait on each
    // increment of the same counter before the next.
    std::array<std::array<std::uint32_t, 256>, 4> part{};
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    while (size > 0) {
        // Counters of 32 bits hold a stretch of this many bytes each.
        const std::size_t stretch = std::min<std::size_t>(size, std::size_t{1} << 30);
        std::size_t i = 0;
        for (; i + 4 <= stretch; i += 4) {
            ++part[0][b[i]];
            ++part[1][b[i + 1]];
            ++part[2][b[i + 2]];
            ++part[3][b[i + 3]];
        }
        for (; i < stretch; ++i) ++part[0][b[i]];
        for (int c = 0; c < 256; ++c) {
            for (auto& p : part) tally[c] += p[c];
            for (auto& p : part) p[c] = 0;
        }
        b += stretch;
        size -= stretch;
    }
}

std::array<std::uint64_t, 4> base_counts::bases() const {
    std::array<std::uint64_t, 4> n{};
    for (int c = 0; c < 256; ++c)
        if (base_code[c] < 4) n[base_code[c]] += tally[c];
    return n;
}

bool frequencies_of_counts(const base_counts& counts, base_frequencies& frequencies, std::string& error) {
    const std::array<std::uint64_t, 4> n = counts.bases();
    const double at = static_cast<double>(n[0] + n[3]), cg = static_cast<double>(n[1] + n[2]);
    if (at == 0 || cg == 0) {
        error = at + cg == 0 ? "the sequences hold no bases to count" : at == 0 ? "the sequences hold no A or T" : "the sequences hold no C or G";
        return false;
    }
    const double total = 2 * (at + cg);
    frequencies = {at / total, cg / total, cg / total, at / total};
    return true;
}
