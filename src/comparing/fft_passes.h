// The butterfly passes of the complex transform, written once and compiled
// in one file per instruction set (portable, AVX2, AVX-512): with the real
// and imaginary parts apart and no aliasing, each loop vectorises at the
// width the file is compiled for.
#pragma once

#include <cstddef>

// One pass doing two radix-2 stages, of spans `span` and 2 x span, over all
// m points: each point loaded and stored once for both. w1 and w2 are the
// stages' twiddle factors, e^(-pi i j / span) and e^(-pi i j / 2 span) for
// j < span, negated in their imaginary parts (`sign` -1) backwards. The
// second stage's factor for j + span is -i times its factor for j.
using fft_pass = void (*)(std::size_t m, std::size_t span, double sign, const double* w1_re, const double* w1_im,
                          const double* w2_re, const double* w2_im, double* re, double* im);

struct fft_passes {
    const char* name;
    // Decimation in time (span, then 2 x span): input in bit-reversed
    // order, output in natural order once every stage is done.
    fft_pass two_stages_in_time;
    // Decimation in frequency (2 x span, then span): natural order in,
    // bit-reversed out.
    fft_pass two_stages_in_frequency;
    // p *= q, point by point, for n complex numbers.
    void (*multiply)(double* p_re, double* p_im, const double* q_re, const double* q_im, std::size_t n);
};

// The passes of each instruction set, null where the processor lacks it.
const fft_passes& portable_fft_passes();
const fft_passes* avx2_fft_passes();
const fft_passes* avx512_fft_passes();

// The fastest this processor runs, chosen once.
const fft_passes& best_fft_passes();

__attribute__((always_inline)) inline void in_time_block(std::size_t span, double sign, const double* w1_re,
                                                               const double* w1_im, const double* w2_re,
                                                               const double* w2_im, double* __restrict a_re,
                                                               double* __restrict a_im, double* __restrict b_re,
                                                               double* __restrict b_im, double* __restrict c_re,
                                                               double* __restrict c_im, double* __restrict d_re,
                                                               double* __restrict d_im) {
    for (std::size_t j = 0; j < span; ++j) {
        const double x_re = w1_re[j], x_im = sign * w1_im[j], y_re = w2_re[j], y_im = sign * w2_im[j];
        const double t_re = x_re * b_re[j] - x_im * b_im[j], t_im = x_re * b_im[j] + x_im * b_re[j];
        const double u_re = x_re * d_re[j] - x_im * d_im[j], u_im = x_re * d_im[j] + x_im * d_re[j];
        const double a1_re = a_re[j] + t_re, a1_im = a_im[j] + t_im, b1_re = a_re[j] - t_re, b1_im = a_im[j] - t_im;
        const double c1_re = c_re[j] + u_re, c1_im = c_im[j] + u_im, d1_re = c_re[j] - u_re, d1_im = c_im[j] - u_im;
        const double v_re = y_re * c1_re - y_im * c1_im, v_im = y_re * c1_im + y_im * c1_re;
        const double z_re = y_re * d1_re - y_im * d1_im, z_im = y_re * d1_im + y_im * d1_re;
        const double e_re = sign * z_im, e_im = -sign * z_re;  // -i z forwards, +i z backwards
        a_re[j] = a1_re + v_re;
        a_im[j] = a1_im + v_im;
        c_re[j] = a1_re - v_re;
        c_im[j] = a1_im - v_im;
        b_re[j] = b1_re + e_re;
        b_im[j] = b1_im + e_im;
        d_re[j] = b1_re - e_re;
        d_im[j] = b1_im - e_im;
    }
}

__attribute__((always_inline)) inline void in_frequency_block(std::size_t span, double sign, const double* w1_re,
                                                              const double* w1_im, const double* w2_re,
                                                              const double* w2_im, double* __restrict a_re,
                                                              double* __restrict a_im, double* __restrict b_re,
                                                              double* __restrict b_im, double* __restrict c_re,
                                                              double* __restrict c_im, double* __restrict d_re,
                                                              double* __restrict d_im) {
    for (std::size_t j = 0; j < span; ++j) {
        const double x_re = w1_re[j], x_im = sign * w1_im[j], y_re = w2_re[j], y_im = sign * w2_im[j];
        // Span 2 x span: (a, c) and (b, d), the differences turned.
        const double a1_re = a_re[j] + c_re[j], a1_im = a_im[j] + c_im[j];
        const double b1_re = b_re[j] + d_re[j], b1_im = b_im[j] + d_im[j];
        const double p_re = a_re[j] - c_re[j], p_im = a_im[j] - c_im[j];
        const double q_re = b_re[j] - d_re[j], q_im = b_im[j] - d_im[j];
        const double c1_re = y_re * p_re - y_im * p_im, c1_im = y_re * p_im + y_im * p_re;
        const double z_re = y_re * q_re - y_im * q_im, z_im = y_re * q_im + y_im * q_re;
        const double d1_re = sign * z_im, d1_im = -sign * z_re;  // -i z forwards, +i z backwards
        // Span `span`: (a1, b1) and (c1, d1).
        const double e_re = a1_re - b1_re, e_im = a1_im - b1_im, f_re = c1_re - d1_re, f_im = c1_im - d1_im;
        a_re[j] = a1_re + b1_re;
        a_im[j] = a1_im + b1_im;
        b_re[j] = x_re * e_re - x_im * e_im;
        b_im[j] = x_re * e_im + x_im * e_re;
        c_re[j] = c1_re + d1_re;
        c_im[j] = c1_im + d1_im;
        d_re[j] = x_re * f_re - x_im * f_im;
        d_im[j] = x_re * f_im + x_im * f_re;
    }
}

__attribute__((always_inline)) inline void multiply_spectra(double* __restrict p_re, double* __restrict p_im,
                                                            const double* __restrict q_re, const double* __restrict q_im,
                                                            std::size_t n) {
    for (std::size_t f = 0; f < n; ++f) {
        const double a = p_re[f], b = p_im[f];
        p_re[f] = a * q_re[f] - b * q_im[f];
        p_im[f] = a * q_im[f] + b * q_re[f];
    }
}

// Each pass of one kind over all m points, block by block.
template <bool in_time>
__attribute__((always_inline)) inline void two_stages(std::size_t m, std::size_t span, double sign, const double* w1_re,
                                                      const double* w1_im, const double* w2_re, const double* w2_im,
                                                      double* re, double* im) {
    for (std::size_t start = 0; start < m; start += 4 * span) {
        double *a_re = re + start, *a_im = im + start;
        if (in_time) {
            in_time_block(span, sign, w1_re, w1_im, w2_re, w2_im, a_re, a_im, a_re + span, a_im + span, a_re + 2 * span,
                          a_im + 2 * span, a_re + 3 * span, a_im + 3 * span);
        } else {
            in_frequency_block(span, sign, w1_re, w1_im, w2_re, w2_im, a_re, a_im, a_re + span, a_im + span,
                               a_re + 2 * span, a_im + 2 * span, a_re + 3 * span, a_im + 3 * span);
        }
    }
}
