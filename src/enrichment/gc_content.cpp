#include "gc_content.h"

#include <htslib/bgzf.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fasta.h"
#include "kernels.h"

namespace {

constexpr std::uint64_t ones = 0x0101010101010101u;

// 0x80 in each byte of `v` that is zero, 0 in the others (exact: no borrow
// crosses bytes).
std::uint64_t zero_bytes(std::uint64_t v) { return ~(((v & 0x7f * ones) + 0x7f * ones) | v | 0x7f * ones); }

// The top bits of the eight bytes as eight bits, the first byte lowest.
unsigned gathered(std::uint64_t top_bits) { return static_cast<unsigned>(((top_bits >> 7) * 0x0102040810204080u) >> 56); }

// Of eight bytes: which are G or C, and which are not A, C, G or T (either case).
void kinds_of(std::uint64_t bytes, unsigned& gc, unsigned& other) {
    // Masking bits 5 and 2 leaves 0x43 of C, G, c and g alone.
    gc = gathered(zero_bytes((bytes & 0xdb * ones) ^ 0x43 * ones));
    const std::uint64_t upper = bytes & 0xdf * ones;
    other = ~gathered(zero_bytes(upper ^ 0x41 * ones) | zero_bytes(upper ^ 0x43 * ones) | zero_bytes(upper ^ 0x47 * ones) |
                      zero_bytes(upper ^ 0x54 * ones)) &
            0xffu;
}

// Marks `length` bytes of the genome, the first at `position` of the
// concatenation: their G and C bits, and their runs of other bytes.
void mark(genome_gc& gc, std::int64_t position, const char* bytes, std::size_t length) {
    for (std::size_t k = 0; k < length; k += 8) {
        std::uint64_t eight = 0x4e4e4e4e4e4e4e4eu;  // past the end: N, neither G nor C
        std::memcpy(&eight, bytes + k, std::min<std::size_t>(8, length - k));
        unsigned gc_of, other_of;
        kinds_of(eight, gc_of, other_of);
        if (length - k < 8) other_of &= (1u << (length - k)) - 1;
        const std::int64_t p = position + static_cast<std::int64_t>(k);
        const auto word = static_cast<std::size_t>(p / 64);
        const auto bit = static_cast<unsigned>(p % 64);
        gc.gc[word] |= std::uint64_t{gc_of} << bit;
        if (bit > 56) gc.gc[word + 1] |= std::uint64_t{gc_of} >> (64 - bit);
        for (; other_of != 0; other_of &= other_of - 1) {
            const std::int64_t at = p + __builtin_ctz(other_of);
            if (!gc.other_ends.empty() && gc.other_ends.back() == at) {
                ++gc.other_ends.back();
            } else {
                gc.other_starts.push_back(at);
                gc.other_ends.push_back(at + 1);
                gc.other_before.push_back(gc.other_before.back());
            }
            ++gc.other_before.back();
        }
    }
}

}  // namespace

std::int64_t genome_gc::gc_count(std::int64_t from, std::int64_t to) const {
    std::int64_t count = 0;
    for (std::int64_t at = from; at < to;) {
        const std::int64_t word_end = std::min(to, (at / 64 + 1) * 64);
        std::uint64_t word = gc[static_cast<std::size_t>(at / 64)] >> (at % 64);
        if (word_end - at < 64) word &= (std::uint64_t{1} << (word_end - at)) - 1;
        count += __builtin_popcountll(word);
        at = word_end;
    }
    return count;
}

std::int64_t genome_gc::other_count(std::int64_t from, std::int64_t to) const {
    const auto first = static_cast<std::size_t>(std::upper_bound(other_ends.begin(), other_ends.end(), from) - other_ends.begin());
    const auto last = static_cast<std::size_t>(std::lower_bound(other_starts.begin(), other_starts.end(), to) - other_starts.begin());
    if (first >= last) return 0;
    return other_before[last] - other_before[first] - std::max<std::int64_t>(0, from - other_starts[first]) -
           std::max<std::int64_t>(0, other_ends[last - 1] - to);
}

bool read_genome_gc(const genome_file& genome, unsigned threads, genome_gc& gc, std::string& error) {
    gc = genome_gc{};
    std::int64_t at = 0;
    for (const auto& chromosome : genome.chromosomes) {
        gc.starts.push_back(at);
        at += (chromosome.second + 63) / 64 * 64;
    }
    gc.gc.assign(static_cast<std::size_t>(at / 64), 0);
    gc.other_before.push_back(0);

    // faidx hands out bases a byte at a time: a whole genome is read faster
    // as a stream of FASTA.
    BGZF* in = bgzf_open(genome.path.c_str(), "r");
    if (!in) {
        error = genome.path + ": " + std::strerror(errno);
        return false;
    }
    if (threads > 1 && in->is_compressed) bgzf_mt(in, static_cast<int>(threads), 64);
    std::string failure;
    // Each record's bases read, to be its length in the index.
    std::vector<std::int64_t> read(genome.chromosomes.size());
    fasta_reader reader(
        1 << 20, 0,
        [&](sequence_batch& batch) {
            for (const sequence_piece& piece : batch.pieces) {
                const std::int64_t c = genome.place_of(piece.record);
                const auto first = static_cast<std::int64_t>(piece.first_position);
                if (c < 0 || first + static_cast<std::int64_t>(piece.length) > genome.chromosomes[static_cast<std::size_t>(c)].second ||
                    read[static_cast<std::size_t>(c)] != first) {
                    if (failure.empty()) failure = not_as_indexed(genome, piece.record);
                    continue;
                }
                read[static_cast<std::size_t>(c)] += static_cast<std::int64_t>(piece.length);
                mark(gc, gc.starts[static_cast<std::size_t>(c)] + first, batch.bytes.data() + piece.begin, piece.length);
            }
            batch.pieces.clear();
            batch.used = 0;
        },
        best_kernels());
    std::vector<char> block(1 << 20);
    ssize_t got = 0;
    while (failure.empty() && (got = bgzf_read(in, block.data(), block.size())) > 0)
        if (!reader.read(block.data(), static_cast<std::size_t>(got), failure)) failure = genome.path + ": not FASTA: " + failure;
    if (failure.empty() && got < 0) failure = genome.path + ": cannot read it";
    reader.end();
    bgzf_close(in);
    for (std::size_t c = 0; c < read.size() && failure.empty(); ++c)
        if (read[c] != genome.chromosomes[c].second) failure = not_as_indexed(genome, genome.chromosomes[c].first);
    if (!failure.empty()) {
        error = failure;
        return false;
    }
    return true;
}
