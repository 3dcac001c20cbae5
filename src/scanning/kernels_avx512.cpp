// The AVX-512 loops (with VBMI's byte permutes), 64 bytes or windows at a
// time. The filter looks up triples of positions, a 64-entry table in one
// permute per 64 windows.
#include <array>
#include <utility>

#include "kernels.h"

#if defined(__x86_64__) && defined(__SSE2__)
#include <immintrin.h>

namespace {

#define AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// A base's code from its low four bits, which differ for a, c, g and t
// (1, 3, 7, 4); a byte is that base only if it equals the letter, either case.
// The same 16 entries in each 128-bit lane, for byte shuffles.
template <std::uint8_t... Entries>
constexpr std::array<std::uint8_t, 64> in_every_lane = {Entries..., Entries..., Entries..., Entries...};
alignas(64) constexpr auto code_of_low_bits_table = in_every_lane<4, 0, 4, 1, 3, 4, 4, 2, 4, 4, 4, 4, 4, 4, 4, 4>;
alignas(64) constexpr auto letter_of_low_bits_table = in_every_lane<0, 'a', 0, 'c', 't', 0, 0, 'g', 0, 0, 0, 0, 0, 0, 0, 0>;

AVX512 void encode(const char* bytes, std::size_t n, std::uint8_t* codes) {
    const __m512i code_of_low_bits = _mm512_load_si512(code_of_low_bits_table.data());
    const __m512i letter_of_low_bits = _mm512_load_si512(letter_of_low_bits_table.data());
    const __m512i low_bits = _mm512_set1_epi8(0x0f), lower_case = _mm512_set1_epi8(0x20), other = _mm512_set1_epi8(4);
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m512i b = _mm512_loadu_si512(bytes + i);
        const __m512i low = _mm512_and_si512(b, low_bits);
        const __mmask64 is_base =
            _mm512_cmpeq_epi8_mask(_mm512_or_si512(b, lower_case), _mm512_shuffle_epi8(letter_of_low_bits, low));
        _mm512_storeu_si512(codes + i, _mm512_mask_blend_epi8(is_base, other, _mm512_shuffle_epi8(code_of_low_bits, low)));
    }
    portable_kernels().encode(bytes + i, n - i, codes + i);
}

AVX512 void prepare(const std::uint8_t* codes, std::size_t n, std::uint8_t* grouped, std::uint64_t* bad) {
    const __m512i two_bits = _mm512_set1_epi8(3), other = _mm512_set1_epi8(4);
    for (std::size_t i = 0; i < n; i += 64) {
        const __m512i first = _mm512_loadu_si512(codes + i);
        const __m512i second = _mm512_and_si512(_mm512_loadu_si512(codes + i + 1), two_bits);
        const __m512i third = _mm512_and_si512(_mm512_loadu_si512(codes + i + 2), two_bits);
        // Codes are at most 4, so shifting 16-bit lanes moves no bit into the next byte.
        const __m512i triple = _mm512_or_si512(
            _mm512_or_si512(_mm512_slli_epi16(_mm512_and_si512(first, two_bits), 4), _mm512_slli_epi16(second, 2)), third);
        _mm512_storeu_si512(grouped + i, triple);
        bad[i / 64] = _mm512_cmpeq_epi8_mask(first, other);
    }
}

// A 64-entry table lookup per byte. (The zero-masked form with every lane
// kept is the same instruction; GCC 12 warns about the unmasked one's header.)
AVX512 __m512i look_up(__m512i table, __m512i index) { return _mm512_maskz_permutexvar_epi8(~__mmask64{0}, index, table); }

// K triple tables held in registers over all the blocks.
template <int K>
AVX512 std::size_t filter_triples(const strand_filter& f, const std::uint8_t* grouped, std::size_t blocks,
                                  passed_block* passed) {
    __m512i table[K];
    std::uint32_t offset[K];
#pragma GCC unroll 16
    for (int k = 0; k < K; ++k) {
        table[k] = _mm512_load_si512(f.triples.tables[k].entry.data());
        offset[k] = f.triples.offsets[k];
    }
    const __m512i limit = _mm512_set1_epi8(static_cast<char>(filter_limit));
    std::size_t count = 0;
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::uint8_t* at = grouped + 64 * b;
        __m512i sum = look_up(table[0], _mm512_loadu_si512(at + offset[0]));
#pragma GCC unroll 16
        for (int k = 1; k < K; ++k)
            sum = _mm512_adds_epu8(sum, look_up(table[k], _mm512_loadu_si512(at + offset[k])));
        // A branch, rarely taken: the count is no chain from block to block.
        const std::uint64_t mask = _mm512_cmple_epu8_mask(sum, limit);
        if (__builtin_expect(mask != 0, 0)) passed[count++] = {mask, b};
    }
    return count;
}

// 64 bytes at a time, the line feeds, blanks, tabs and carriage returns
// squeezed out by one byte compress (VBMI2), unless a header starts inside.
__attribute__((target("avx512f,avx512bw,avx512vbmi2"))) std::size_t copy_positions(
    const char* text, std::size_t available, char* out, std::size_t room, std::size_t& written) {
    std::size_t taken = 0;
    written = 0;
    const __m512i space = _mm512_set1_epi8(0x20);
    while (available - taken >= 65 && room - written >= 64) {
        const __m512i bytes = _mm512_loadu_si512(text + taken);
        const __mmask64 special = _mm512_cmple_epu8_mask(bytes, space);
        if (special == 0) {
            _mm512_storeu_si512(out + written, bytes);
            taken += 64;
            written += 64;
            continue;
        }
        const __mmask64 feeds = _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\n'));
        if (feeds & _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(text + taken + 1), _mm512_set1_epi8('>'))) break;
        const __mmask64 dropped = feeds | _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\r')) |
                                  _mm512_cmpeq_epi8_mask(bytes, space) | _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('\t'));
        _mm512_storeu_si512(out + written, _mm512_maskz_compress_epi8(~dropped, bytes));
        taken += 64;
        written += static_cast<std::size_t>(64 - __builtin_popcountll(dropped));
    }
    return taken;
}

template <int... K>
std::size_t dispatch(const strand_filter& f, const std::uint8_t* grouped, std::size_t blocks, passed_block* passed,
                     std::integer_sequence<int, K...>) {
    using loop = std::size_t (*)(const strand_filter&, const std::uint8_t*, std::size_t, passed_block*);
    static constexpr loop loops[] = {filter_triples<K + 1>...};
    return loops[f.triples.lookups - 1](f, grouped, blocks, passed);
}

std::size_t filter(const strand_filter& f, const std::uint8_t* grouped, std::size_t blocks, passed_block* passed) {
    return dispatch(f, grouped, blocks, passed, std::make_integer_sequence<int, max_lookups>{});
}

}  // namespace

const scan_kernels* avx512_kernels() {
    static const scan_kernels kernels{"avx512", false, encode, prepare, filter, copy_positions};
    return __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") &&
                   __builtin_cpu_supports("avx512vbmi2")
               ? &kernels
               : nullptr;
}

#else

const scan_kernels* avx512_kernels() { return nullptr; }

#endif
