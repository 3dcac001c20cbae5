// Counting the bases of a motif file per position, 16 bytes at a time.
//
// Each 16-byte chunk of a sequence line is compared at once with the line
// feed and the four bases; the matches are added into 8-bit counters, one
// plane per base, that are added into the 64-bit counts every 255 lines,
// before any of them can overflow (a line adds at most 1 to a position).
// Header lines are only scanned for their line feed.
#include <algorithm>
#include <cstring>

#include "motif_matrix.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr std::size_t chunk = 16;
constexpr unsigned flush_every = 255;

// Positions held per plane beyond the capacity, so that a chunk starting at
// the last position can be stored whole.
constexpr std::size_t plane_slack = chunk;

std::size_t plane_stride(const fast_motif_counts& fast) { return fast.motif.counts.size() / 4 + plane_slack; }

void flush(fast_motif_counts& fast) {
    const std::size_t stride = plane_stride(fast);
    std::uint64_t* counts = fast.motif.counts.data();
    std::uint8_t* recent = fast.recent.data();
    for (std::size_t p = 0; p < fast.recent_width; ++p)
        for (std::size_t b = 0; b < 4; ++b) {
            counts[4 * p + b] += recent[b * stride + p];
            recent[b * stride + p] = 0;
        }
    fast.recent_width = 0;
    fast.recent_lines = 0;
}

// Makes room for positions up to `needed` (at most max_width); the planes
// are emptied into the counts first since their stride changes.
void grow(fast_motif_counts& fast, std::size_t needed) {
    flush(fast);
    const std::size_t capacity = std::min(max_width, std::max<std::size_t>({64, needed, 2 * fast.motif.counts.size() / 4}));
    fast.motif.counts.resize(4 * capacity);
    fast.recent.assign(4 * (capacity + plane_slack), 0);
}

// Counts the bytes of data[0, limit) (limit <= 16) into the planes at
// position `at` up to the first line feed; returns how many bytes precede it,
// or `limit` if there is none.
std::size_t count_bytes_upto_line_feed(const std::uint8_t* data, std::size_t limit, std::uint8_t* planes,
                                        std::size_t stride, std::size_t at) {
    for (std::size_t i = 0; i < limit; ++i) {
        if (data[i] == '\n') return i;
        const unsigned b = base_code[data[i]];
        if (b < 4) ++planes[b * stride + at + i];
    }
    return limit;
}

#if defined(__SSE2__)
// The same for a whole chunk of 16 bytes.
std::size_t count_chunk(const std::uint8_t* data, std::uint8_t* planes, std::size_t stride, std::size_t at) {
    // First `k` bytes all ones, the rest zero, read at offset 16 - k.
    static const std::uint8_t first_bytes[2 * chunk] = {
        0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
    const unsigned line_feeds = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))));
    const std::size_t before = line_feeds ? static_cast<std::size_t>(__builtin_ctz(line_feeds)) : chunk;
    const __m128i keep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first_bytes + chunk - before));
    // Setting bit 0x20 folds exactly the upper-case letters onto the lower-case ones.
    const __m128i folded = _mm_or_si128(bytes, _mm_set1_epi8(0x20));
    for (std::size_t b = 0; b < 4; ++b) {
        const char lower = static_cast<char>(base_letters[b] + ('a' - 'A'));
        const __m128i is_base = _mm_and_si128(_mm_cmpeq_epi8(folded, _mm_set1_epi8(lower)), keep);
        auto* plane = reinterpret_cast<__m128i*>(planes + b * stride + at);
        _mm_storeu_si128(plane, _mm_sub_epi8(_mm_loadu_si128(plane), is_base));  // a match is -1
    }
    return before;
}
#else
std::size_t count_chunk(const std::uint8_t* data, std::uint8_t* planes, std::size_t stride, std::size_t at) {
    return count_bytes_upto_line_feed(data, chunk, planes, stride, at);
}
#endif

// Returns the first line feed in [from, end), or `end`. Most headers are
// short, so one chunk is tried before the library's search.
const std::uint8_t* find_line_feed(const std::uint8_t* from, const std::uint8_t* end) {
#if defined(__SSE2__)
    if (end - from >= static_cast<std::ptrdiff_t>(chunk)) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const int line_feeds = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')));
        if (line_feeds != 0) return from + __builtin_ctz(static_cast<unsigned>(line_feeds));
        from += chunk;
    }
#endif
    const void* line_feed = std::memchr(from, '\n', static_cast<std::size_t>(end - from));
    return line_feed ? static_cast<const std::uint8_t*>(line_feed) : end;
}

// Counts a sequence line into the planes from position `at` on, and returns
// where it stopped: at the line feed, at `end`, or where the planes, which
// hold positions below `room`, have no room for another chunk.
const std::uint8_t* count_sequence(const std::uint8_t* from, const std::uint8_t* end, std::uint8_t* planes,
                                   std::size_t stride, std::size_t at, std::size_t room) {
    while (end - from >= static_cast<std::ptrdiff_t>(chunk) && at + chunk <= room) {
        const std::size_t before = count_chunk(from, planes, stride, at);
        from += before;
        at += before;
        if (before < chunk) return from;
    }
    const auto left = static_cast<std::size_t>(end - from);
    if (left < chunk && at + left <= room) from += count_bytes_upto_line_feed(from, left, planes, stride, at);
    return from;
}

}  // namespace

void count_block(fast_motif_counts& fast, const char* data, std::size_t size) {
    motif_counts& motif = fast.motif;
    const auto* next = reinterpret_cast<const std::uint8_t*>(data);
    const std::uint8_t* const end = next + size;
    while (next < end && !motif.too_long) {
        if (motif.where == motif_counts::line_start && *next == '>') motif.where = motif_counts::header;
        if (motif.where == motif_counts::header) {
            next = find_line_feed(next, end);
            if (next == end) return;
            motif.where = motif_counts::line_start;
            ++next;
            continue;
        }
        // A sequence line, or the rest of one begun in an earlier block.
        const std::size_t at = motif.line_length;
        std::size_t capacity = motif.counts.size() / 4;
        if (at + chunk > capacity && capacity < max_width) {
            grow(fast, at + chunk);
            capacity = motif.counts.size() / 4;
        }
        // At the width limit a chunk may count past it, into the slack; the
        // line is refused then, so those counts are never used.
        const std::size_t room = capacity == max_width ? capacity + plane_slack : capacity;
        const std::uint8_t* const stop = count_sequence(next, end, fast.recent.data(), plane_stride(fast), at, room);
        motif.line_length = at + static_cast<std::size_t>(stop - next);
        if (stop != next) motif.where = motif_counts::sequence;
        next = stop;
        if (motif.line_length > max_width) {
            motif.too_long = true;
            return;
        }
        fast.recent_width = std::max(fast.recent_width, motif.line_length);
        if (next == end || *next != '\n') continue;  // the block ended, or the planes need more room
        ++next;
        ++motif.n;
        motif.width = motif.line_length;
        motif.line_length = 0;
        motif.where = motif_counts::line_start;
        if (++fast.recent_lines == flush_every) flush(fast);
    }
}

void count_block_end(fast_motif_counts& fast) {
    flush(fast);
    count_end(fast.motif);
}
