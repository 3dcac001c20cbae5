// The AVX2 loops, 32 bytes or windows at a time. The filter looks up pairs
// of positions, a 16-entry table in one byte shuffle per 32 windows.
#include <utility>

#include "kernels.h"

#if defined(__x86_64__) && defined(__SSE2__)
#include <immintrin.h>

namespace {

#define AVX2 __attribute__((target("avx2")))

// A base's code from its low four bits, which differ for a, c, g and t
// (1, 3, 7, 4); a byte is that base only if it equals the letter, either case.
AVX2 __m256i codes_of(__m256i bytes) {
    const __m256i code_of_low_bits = _mm256_setr_epi8(4, 0, 4, 1, 3, 4, 4, 2, 4, 4, 4, 4, 4, 4, 4, 4,  //
                                                      4, 0, 4, 1, 3, 4, 4, 2, 4, 4, 4, 4, 4, 4, 4, 4);
    const __m256i letter_of_low_bits = _mm256_setr_epi8(0, 'a', 0, 'c', 't', 0, 0, 'g', 0, 0, 0, 0, 0, 0, 0, 0,  //
                                                        0, 'a', 0, 'c', 't', 0, 0, 'g', 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i low = _mm256_and_si256(bytes, _mm256_set1_epi8(0x0f));
    const __m256i is_base = _mm256_cmpeq_epi8(_mm256_or_si256(bytes, _mm256_set1_epi8(0x20)),
                                              _mm256_shuffle_epi8(letter_of_low_bits, low));
    return _mm256_blendv_epi8(_mm256_set1_epi8(4), _mm256_shuffle_epi8(code_of_low_bits, low), is_base);
}

AVX2 void encode(const char* bytes, std::size_t n, std::uint8_t* codes) {
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(codes + i),
                            codes_of(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i))));
    portable_kernels().encode(bytes + i, n - i, codes + i);
}

AVX2 void prepare(const std::uint8_t* codes, std::size_t n, std::uint8_t* grouped, std::uint64_t* bad) {
    const __m256i two_bits = _mm256_set1_epi8(3), other = _mm256_set1_epi8(4);
    for (std::size_t i = 0; i < n; i += 32) {
        const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(codes + i));
        const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(codes + i + 1));
        // Codes are at most 4, so shifting 16-bit lanes moves no bit into the next byte.
        const __m256i pair = _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(first, two_bits), 2),
                                             _mm256_and_si256(second, two_bits));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(grouped + i), pair);
        const auto others = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(first, other)));
        if (i % 64 == 0) {
            bad[i / 64] = others;
        } else {
            bad[i / 64] |= std::uint64_t{others} << 32;
        }
    }
}

// K pair tables held in registers over all the blocks.
template <int K>
AVX2 std::size_t filter_pairs(const strand_filter& f, const std::uint8_t* grouped, std::size_t blocks,
                               passed_block* passed) {
    __m256i table[K];
    std::uint32_t offset[K];
#pragma GCC unroll 16
    for (int k = 0; k < K; ++k) {
        table[k] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(f.pairs.tables[k].entry.data())));
        offset[k] = f.pairs.offsets[k];
    }
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(filter_limit));
    std::size_t count = 0;
    for (std::size_t b = 0; b < blocks; ++b) {
        std::uint64_t mask = 0;
        for (int half = 0; half < 2; ++half) {
            const std::uint8_t* at = grouped + 64 * b + 32 * half;
            __m256i sum = _mm256_setzero_si256();
#pragma GCC unroll 16
            for (int k = 0; k < K; ++k)
                sum = _mm256_adds_epu8(sum, _mm256_shuffle_epi8(table[k], _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + offset[k]))));
            // A window passes where its units equal their minimum with the limit.
            const auto passed = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(sum, limit), sum)));
            mask |= std::uint64_t{passed} << (32 * half);
        }
        // A branch, rarely taken: the count is no chain from block to block.
        if (__builtin_expect(mask != 0, 0)) passed[count++] = {mask, b};
    }
    return count;
}

// 32 bytes at a time: those without a line feed, blank, tab, carriage
// return or other control byte whole, and those with one line feed (not
// followed by a header) around it.
AVX2 std::size_t copy_positions(const char* text, std::size_t available, char* out, std::size_t room,
                                std::size_t& written) {
    std::size_t taken = 0;
    written = 0;
    while (available - taken >= 64 && room - written >= 64) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + taken));
        const auto special = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(bytes, _mm256_set1_epi8(0x20)), bytes)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + written), bytes);
        if (special == 0) {
            taken += 32;
            written += 32;
            continue;
        }
        const unsigned feed = static_cast<unsigned>(__builtin_ctz(special));
        if ((special & (special - 1)) != 0 || text[taken + feed] != '\n' || text[taken + feed + 1] == '>') break;
        // The bytes after the line feed, moved up over it.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + written + feed),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + taken + feed + 1)));
        taken += 32;
        written += 31;
    }
    return taken;
}

template <int... K>
std::size_t dispatch(const strand_filter& f, const std::uint8_t* grouped, std::size_t blocks, passed_block* passed,
                     std::integer_sequence<int, K...>) {
    using loop = std::size_t (*)(const strand_filter&, const std::uint8_t*, std::size_t, passed_block*);
    static constexpr loop loops[] = {filter_pairs<K + 1>...};
    return loops[f.pairs.lookups - 1](f, grouped, blocks, passed);
}

std::size_t filter(const strand_filter& f, const std::uint8_t* grouped, std::size_t blocks, passed_block* passed) {
    return dispatch(f, grouped, blocks, passed, std::make_integer_sequence<int, max_lookups>{});
}

}  // namespace

const scan_kernels* avx2_kernels() {
    static const scan_kernels kernels{"avx2", true, encode, prepare, filter, copy_positions};
    return __builtin_cpu_supports("avx2") ? &kernels : nullptr;
}

#else

const scan_kernels* avx2_kernels() { return nullptr; }

#endif
