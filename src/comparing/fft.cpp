#include "fft.h"

#include <cmath>

#include "fft_passes.h"

namespace {

const double pi = 3.14159265358979323846;

std::size_t reverse_bits(std::size_t value, std::size_t bits) {
    std::size_t r = 0;
    for (std::size_t b = 0; b < bits; ++b) r |= ((value >> b) & 1) << (bits - 1 - b);
    return r;
}

// Calls pair(r, other) for each slot r <= m and the slot of frequency m - k
// for r's frequency k: 0 with m, 1 with itself, and in bit-reversed order
// negation mirrors each octave [2^j, 2^(j+1)). Octave by octave, so that no
// slot's partner is searched for.
template <class Pair>
void for_each_pair(std::size_t m, const Pair& pair) {
    pair(0, m);
    if (m > 1) pair(1, 1);
    for (std::size_t octave = 2; octave < m; octave *= 2)
        for (std::size_t i = 0; i < octave; ++i) pair(octave + i, 2 * octave - 1 - i);
}

// A radix-2 stage of span 1 (its factor is 1), alone where the stages are odd in number.
void unit_stage(std::size_t m, double* re, double* im) {
    for (std::size_t start = 0; start < m; start += 2) {
        const double b_re = re[start + 1], b_im = im[start + 1];
        re[start + 1] = re[start] - b_re;
        im[start + 1] = im[start] - b_im;
        re[start] += b_re;
        im[start] += b_im;
    }
}

}  // namespace

real_fft::real_fft(std::size_t length, const fft_passes* chosen)
    : n(length), passes(chosen ? chosen : &best_fft_passes()), bits(0), work_re(length / 2), work_im(length / 2) {
    const std::size_t half = n / 2;
    while ((std::size_t{1} << bits) < half) ++bits;
    twiddle_re.resize(half);
    twiddle_im.resize(half);
    for (std::size_t span = 1; span < half; span *= 2)
        for (std::size_t j = 0; j < span; ++j) {
            const double angle = -pi * static_cast<double>(j) / static_cast<double>(span);
            twiddle_re[span - 1 + j] = std::cos(angle);
            twiddle_im[span - 1 + j] = std::sin(angle);
        }
    unpack_re.resize(half + 1);
    unpack_im.resize(half + 1);
    for (std::size_t slot = 0; slot <= half; ++slot) {
        const double angle = -2 * pi * static_cast<double>(frequency(slot)) / static_cast<double>(n);
        unpack_re[slot] = std::cos(angle);
        unpack_im[slot] = std::sin(angle);
    }
}

std::size_t real_fft::frequency(std::size_t slot) const { return slot == n / 2 ? slot : reverse_bits(slot, bits); }

void real_fft::stages(bool in_time, double sign) const {
    const std::size_t m = n / 2;
    double* re = work_re.data();
    double* im = work_im.data();
    const bool odd = bits % 2 == 1;
    const auto pass = [&](std::size_t span) {
        (in_time ? passes->two_stages_in_time : passes->two_stages_in_frequency)(
            m, span, sign, twiddle_re.data() + span - 1, twiddle_im.data() + span - 1, twiddle_re.data() + 2 * span - 1,
            twiddle_im.data() + 2 * span - 1, re, im);
    };
    if (in_time) {
        // Spans 1, 2, 4, ...: a lone first stage if their number is odd.
        std::size_t span = 1;
        if (odd) {
            unit_stage(m, re, im);
            span = 2;
        }
        for (; span < m; span *= 4) pass(span);
    } else {
        // Spans m/2, m/4, ...: a lone last stage if their number is odd.
        for (std::size_t span = m / 4; span >= 1; span /= 4) pass(span);
        if (odd) unit_stage(m, re, im);
    }
}

void real_fft::forward(const double* in, spectrum& out) const {
    const std::size_t m = n / 2;
    for (std::size_t j = 0; j < m; ++j) {
        work_re[j] = in[2 * j];
        work_im[j] = in[2 * j + 1];
    }
    stages(false, 1.0);
    out.re.resize(m + 1);
    out.im.resize(m + 1);
    // The transforms of the even samples E and the odd ones O, untangled
    // from Z = E + iO, frequency k from slots of k and m - k:
    // X[k] = E[k] + e^(-2 pi i k / n) O[k]; X[m] = E[0] - O[0].
    const auto untangle = [&](std::size_t r, std::size_t at, std::size_t other) {
        const double a_re = work_re[at], a_im = work_im[at], b_re = work_re[other], b_im = -work_im[other];
        const double even_re = 0.5 * (a_re + b_re), even_im = 0.5 * (a_im + b_im);
        const double odd_re = 0.5 * (a_im - b_im), odd_im = -0.5 * (a_re - b_re);
        out.re[r] = even_re + unpack_re[r] * odd_re - unpack_im[r] * odd_im;
        out.im[r] = even_im + unpack_re[r] * odd_im + unpack_im[r] * odd_re;
    };
    untangle(m, 0, 0);
    for_each_pair(m, [&](std::size_t r, std::size_t other) { untangle(r, r, other == m ? 0 : other); });
}

void real_fft::inverse(const spectrum& in, double* out) const {
    const std::size_t m = n / 2;
    for_each_pair(m, [&](std::size_t r, std::size_t other) {
        const double a_re = in.re[r], a_im = in.im[r], b_re = in.re[other], b_im = -in.im[other];
        const double even_re = 0.5 * (a_re + b_re), even_im = 0.5 * (a_im + b_im);
        const double d_re = 0.5 * (a_re - b_re), d_im = 0.5 * (a_im - b_im);
        // odd = conj(e^(-2 pi i k / n)) (a - b) / 2; Z = even + i odd.
        const double odd_re = unpack_re[r] * d_re + unpack_im[r] * d_im, odd_im = unpack_re[r] * d_im - unpack_im[r] * d_re;
        work_re[r] = even_re - odd_im;
        work_im[r] = even_im + odd_re;
    });
    stages(true, -1.0);
    const double scale = 1.0 / static_cast<double>(m);
    for (std::size_t j = 0; j < m; ++j) {
        out[2 * j] = work_re[j] * scale;
        out[2 * j + 1] = work_im[j] * scale;
    }
}
