// The transform's passes for any processor, and the choice among them.
#include "fft_passes.h"

namespace {

void in_time(std::size_t m, std::size_t span, double sign, const double* w1_re, const double* w1_im, const double* w2_re,
             const double* w2_im, double* re, double* im) {
    two_stages<true>(m, span, sign, w1_re, w1_im, w2_re, w2_im, re, im);
}

void in_frequency(std::size_t m, std::size_t span, double sign, const double* w1_re, const double* w1_im,
                  const double* w2_re, const double* w2_im, double* re, double* im) {
    two_stages<false>(m, span, sign, w1_re, w1_im, w2_re, w2_im, re, im);
}

void multiply(double* p_re, double* p_im, const double* q_re, const double* q_im, std::size_t n) {
    multiply_spectra(p_re, p_im, q_re, q_im, n);
}

}  // namespace

const fft_passes& portable_fft_passes() {
    static const fft_passes passes{"portable", in_time, in_frequency, multiply};
    return passes;
}

const fft_passes& best_fft_passes() {
    static const fft_passes& best = avx512_fft_passes() ? *avx512_fft_passes()
                                    : avx2_fft_passes() ? *avx2_fft_passes()
                                                        : portable_fft_passes();
    return best;
}
