// The loops every base goes through, one set per instruction set (portable,
// AVX2, AVX-512 with VBMI), chosen once at run time: a processor without an
// instruction set never runs its loops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "scanning.h"

// Extra bytes the loops may read past the last position they are given.
inline constexpr std::size_t code_padding = 128;

// The most groups a strand's filter looks up: the vector loops hold their
// tables in registers.
inline constexpr int max_lookups = 12;

// A block of 64 windows some of which passed the filter.
struct passed_block {
    std::uint64_t mask;
    std::size_t block;
};

struct scan_kernels {
    const char* name;
    bool pairs;  // the filter looks up pairs of positions (16-entry tables), not triples (64)
    // Base codes of n bytes: 0-3 for A, C, G, T in either case, 4 for any other.
    void (*encode)(const char* bytes, std::size_t n, std::uint8_t* codes);
    // For positions i < n (a multiple of 64): grouped[i], the bases at i,
    // i + 1 (and i + 2) at 2 bits each, the first highest, any other byte
    // as A; and bit i % 64 of bad[i / 64] set where codes[i] is 4. Reads
    // codes up to n + 2.
    void (*prepare)(const std::uint8_t* codes, std::size_t n, std::uint8_t* grouped, std::uint64_t* bad);
    // For `blocks` blocks of 64 windows from `grouped`, the windows that pass
    // the strand's first `lookups` groups (pairs or triples): their table
    // entries add up to at most filter_limit. Appends each block with any
    // to `passed` (bit j of the mask set if window 64 block + j passes) and
    // returns how many; `passed` needs room for `blocks`. Reads grouped
    // past the last window by the groups' offsets.
    std::size_t (*filter)(const strand_filter& f, const std::uint8_t* grouped, std::size_t blocks, passed_block* passed);
    // Copies the positions of FASTA sequence lines, every byte but line
    // feeds, carriage returns, blanks and tabs, from `text` (`available`
    // bytes) to `out` (room for `room`), across line ends, as far as it
    // goes quickly: it stops before a line feed followed by '>', the last 64
    // bytes of the text or the room, or any run it leaves to a byte-by-byte
    // copy. Returns the bytes of text taken, with `written` set to the bytes
    // put out; may write up to 64 bytes past them.
    std::size_t (*copy_positions)(const char* text, std::size_t available, char* out, std::size_t room,
                                  std::size_t& written);
};

const scan_kernels& portable_kernels();
// Null where the processor (or the build) lacks the instructions.
const scan_kernels* avx2_kernels();
const scan_kernels* avx512_kernels();

// The fastest this processor has.
const scan_kernels& best_kernels();
// Every set this processor can run, the portable one first.
std::vector<const scan_kernels*> available_kernels();

// The loops a scan with these settings runs.
inline const scan_kernels& kernels_in_use(const scan_settings& settings) {
    return settings.kernels ? *settings.kernels : best_kernels();
}

// The groups' entries of one window, for the portable loops and the tests.
inline unsigned window_units(const strand_filter& f, bool pairs, const std::uint8_t* grouped) {
    const group_filter& groups = pairs ? f.pairs : f.triples;
    unsigned sum = 0;
    for (std::size_t g = 0; g < groups.lookups; ++g) sum += groups.tables[g].entry[grouped[groups.offsets[g]]];
    return sum;
}
