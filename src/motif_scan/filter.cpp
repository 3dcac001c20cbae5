// The two loops every input byte goes through: bytes to base codes, and the
// filter that leaves only the windows that may reach the threshold. Each has
// a portable loop and an AVX2 one (32 bytes or windows at a time), chosen
// at run time so the program runs on any x86-64 processor, and elsewhere.
#include <algorithm>

#include "bases.h"
#include "scan.h"

#if defined(__x86_64__) && defined(__SSE2__)
#include <immintrin.h>
#define MOTIF_SCAN_AVX2 1
#endif

namespace {

void encode_portable(const char* bytes, std::size_t n, std::uint8_t* codes) {
    for (std::size_t i = 0; i < n; ++i) codes[i] = base_code[static_cast<unsigned char>(bytes[i])];
}

// Whether a window's units, added up with early exit, stay within the limit.
bool within(const std::vector<std::array<std::uint8_t, 16>>& deficits, const std::uint8_t* codes) {
    unsigned sum = 0;
    for (std::size_t k = 0; k < deficits.size(); ++k) {
        sum += deficits[k][codes[k]];
        if (sum > filter_limit) return false;
    }
    return true;
}

void filter_portable(const scan_matrix& m, const std::uint8_t* codes, std::size_t count, std::uint64_t* masks) {
    std::fill(masks, masks + (count + 31) / 32, 0);
    for (std::size_t i = 0; i < count; ++i) {
        if (within(m.forward_deficits, codes + i)) masks[i / 32] |= std::uint64_t{1} << (i % 32);
        if (within(m.reverse_deficits, codes + i)) masks[i / 32] |= std::uint64_t{1} << (32 + i % 32);
    }
}

#if MOTIF_SCAN_AVX2

// A base's code from its low four bits, which differ for a, c, g and t
// (1, 3, 7, 4); a byte is that base only if it equals the letter, either case.
__attribute__((target("avx2"))) void encode_avx2(const char* bytes, std::size_t n, std::uint8_t* codes) {
    const __m256i code_of_low_bits = _mm256_setr_epi8(4, 0, 4, 1, 3, 4, 4, 2, 4, 4, 4, 4, 4, 4, 4, 4,  //
                                                      4, 0, 4, 1, 3, 4, 4, 2, 4, 4, 4, 4, 4, 4, 4, 4);
    const __m256i letter_of_low_bits = _mm256_setr_epi8(0, 'a', 0, 'c', 't', 0, 0, 'g', 0, 0, 0, 0, 0, 0, 0, 0,  //
                                                        0, 'a', 0, 'c', 't', 0, 0, 'g', 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i low_bits = _mm256_set1_epi8(0x0f), lower_case = _mm256_set1_epi8(0x20), other = _mm256_set1_epi8(4);
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
        const __m256i low = _mm256_and_si256(b, low_bits);
        const __m256i is_base =
            _mm256_cmpeq_epi8(_mm256_or_si256(b, lower_case), _mm256_shuffle_epi8(letter_of_low_bits, low));
        const __m256i code = _mm256_blendv_epi8(other, _mm256_shuffle_epi8(code_of_low_bits, low), is_base);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(codes + i), code);
    }
    encode_portable(bytes + i, n - i, codes + i);
}

// 32 windows at a time, both strands: per position of the matrix, one
// table lookup per window (a byte shuffle) and a saturating add.
__attribute__((target("avx2"))) void filter_avx2(const scan_matrix& m, const std::uint8_t* codes, std::size_t count,
                                                 std::uint64_t* masks) {
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(filter_limit));
    const std::size_t width = m.width;
    const auto* forward = m.forward_deficits.data();
    const auto* reverse = m.reverse_deficits.data();
    for (std::size_t block = 0; block * 32 < count; ++block) {
        const std::uint8_t* at = codes + block * 32;
        __m256i plus = _mm256_setzero_si256(), minus = _mm256_setzero_si256();
        for (std::size_t k = 0; k < width; ++k) {
            const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + k));
            const __m256i f = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(forward[k].data())));
            const __m256i r = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(reverse[k].data())));
            plus = _mm256_adds_epu8(plus, _mm256_shuffle_epi8(f, c));
            minus = _mm256_adds_epu8(minus, _mm256_shuffle_epi8(r, c));
        }
        // A window passes where its units equal their minimum with the limit.
        const auto plus_pass = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(plus, limit), plus)));
        const auto minus_pass = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_min_epu8(minus, limit), minus)));
        std::uint64_t mask = plus_pass | std::uint64_t{minus_pass} << 32;
        const std::size_t left = count - block * 32;
        if (left < 32) mask &= ((std::uint64_t{1} << left) - 1) * ((std::uint64_t{1} << 32) + 1);
        masks[block] = mask;
    }
}

#endif

}  // namespace

bool vector_paths_available() {
#if MOTIF_SCAN_AVX2
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

void encode_bases(const char* bytes, std::size_t n, std::uint8_t* codes, bool vector) {
#if MOTIF_SCAN_AVX2
    if (vector && vector_paths_available()) return encode_avx2(bytes, n, codes);
#endif
    (void)vector;
    encode_portable(bytes, n, codes);
}

void filter_windows(const scan_matrix& matrix, const std::uint8_t* codes, std::size_t count, std::uint64_t* masks,
                    bool vector) {
#if MOTIF_SCAN_AVX2
    if (vector && vector_paths_available()) return filter_avx2(matrix, codes, count, masks);
#endif
    (void)vector;
    filter_portable(matrix, codes, count, masks);
}
