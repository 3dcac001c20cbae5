// The transform's passes in AVX-512, 64 bytes of each part at a time.
#include "fft_passes.h"

#if defined(__x86_64__) && defined(__SSE2__)

namespace {

__attribute__((target("avx512f"))) void in_time(std::size_t m, std::size_t span, double sign, const double* w1_re,
                                         const double* w1_im, const double* w2_re, const double* w2_im, double* re,
                                         double* im) {
    two_stages<true>(m, span, sign, w1_re, w1_im, w2_re, w2_im, re, im);
}

__attribute__((target("avx512f"))) void in_frequency(std::size_t m, std::size_t span, double sign, const double* w1_re,
                                              const double* w1_im, const double* w2_re, const double* w2_im,
                                              double* re, double* im) {
    two_stages<false>(m, span, sign, w1_re, w1_im, w2_re, w2_im, re, im);
}

__attribute__((target("avx512f"))) void multiply(double* p_re, double* p_im, const double* q_re, const double* q_im,
                                          std::size_t n) {
    multiply_spectra(p_re, p_im, q_re, q_im, n);
}

}  // namespace

const fft_passes* avx512_fft_passes() {
    static const fft_passes passes{"avx512", in_time, in_frequency, multiply};
    return __builtin_cpu_supports("avx512f") ? &passes : nullptr;
}

#else

const fft_passes* avx512_fft_passes() { return nullptr; }

#endif
