// Discrete Fourier transforms of real sequences whose length is a power of
// two, for convolving distributions: a complex transform of half the
// length, with each twiddle factor computed directly, not by recurrence.
// Spectra are only ever multiplied point by point, so they are kept in the
// order the transform leaves them (bit-reversed), which spares the
// reordering; and with their real and imaginary parts apart, so that the
// loops over them vectorise.
#pragma once

#include <cstddef>
#include <vector>

// The n/2 + 1 lowest frequencies of n reals (the rest are conjugates): for
// each slot r < n/2 the frequency whose bits are r's reversed, then n/2.
struct spectrum {
    std::vector<double> re, im;
};

struct fft_passes;

struct real_fft {
    // `length` a power of two, at least 4; the passes of the fastest
    // instruction set this processor has, unless others are given.
    explicit real_fft(std::size_t length, const fft_passes* passes = nullptr);

    void forward(const double* in, spectrum& out) const;
    // Back to n reals, divided by n.
    void inverse(const spectrum& in, double* out) const;

    // The frequency held in slot r of a spectrum.
    std::size_t frequency(std::size_t slot) const;

    std::size_t n;
    const fft_passes* passes;

  private:
    void stages(bool in_time, double sign) const;

    std::size_t bits;                            // of n/2
    std::vector<double> twiddle_re, twiddle_im;  // per stage of span s: e^(-pi i j / s), j < s, from index s - 1
    std::vector<double> unpack_re, unpack_im;    // per slot: e^(-2 pi i k / n) for its frequency k
    mutable std::vector<double> work_re, work_im;
};
