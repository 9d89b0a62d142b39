// Real-input FFT by packing.
//
// With z[n] = x[2n] + i x[2n+1] (M = N/2 points) and Z its transform, the transforms of the
// even and odd samples are E[k] = (Z[k] + conj Z[M-k]) / 2 and O[k] = (Z[k] - conj Z[M-k]) / 2i,
// and X[k] = E[k] + W^k O[k] with W = exp(-2 pi i / N). The half transform scales by 1/M; one
// more factor 1/2 gives the full transform's 1/N. Bins k and M-k are joined together from
// Z[k] and Z[M-k], in place; the upper half is the mirror image (real input).
#include "analysis/real_fft.h"

#include <cmath>

namespace tw {

LRealFFT::LRealFFT(uint32_t order)
    : size_(1u << order),
      half_(order - 1),
      cosine_(detail::MakeAligned<double>(size_ / 4 + 1)),
      sine_(detail::MakeAligned<double>(size_ / 4 + 1)) {
    const double step = kTwoPi / size_;
    for (uint32_t k = 0; k <= size_ / 4; ++k) {
        cosine_[k] = std::cos(k * step);
        sine_[k] = std::sin(k * step);
    }
}

void LRealFFT::Transform(const int32_t* samples, const LHammingWindow& window,
                         LSpectrum& spectrum) const {
    double* re = spectrum.Real();
    double* im = spectrum.Imaginary();
    const double* w = window.Weights();
    const uint32_t n = size_;
    const uint32_t m = n / 2;
    for (uint32_t i = 0; i < m; ++i) {
        re[i] = static_cast<double>(samples[2 * i]) * w[2 * i];
        im[i] = static_cast<double>(samples[2 * i + 1]) * w[2 * i + 1];
    }
    half_.Transform(spectrum);

    // Bin 0 and bin M (the Nyquist bin) are real.
    const double z0r = re[0], z0i = im[0];
    re[0] = 0.5 * (z0r + z0i);
    im[0] = 0.0;
    re[m] = 0.5 * (z0r - z0i);
    im[m] = 0.0;
    // Bins k and M - k for k = 1 .. M/2; W^(M-k) = -conj W^k, so one twiddle serves both.
    for (uint32_t k = 1; k <= m / 2; ++k) {
        const uint32_t j = m - k;
        const double ar = re[k], ai = im[k], br = re[j], bi = im[j];
        // E = (Z[k] + conj Z[j]) / 2, O = (Z[k] - conj Z[j]) / 2i, for bin k.
        const double er = 0.5 * (ar + br), ei = 0.5 * (ai - bi);
        const double or_ = 0.5 * (ai + bi), oi = -0.5 * (ar - br);
        // W^k = cos - i sin of 2 pi k / N; the table holds k up to N/4 = M/2.
        const double c = cosine_[k], s = sine_[k];
        const double tr = c * or_ + s * oi, ti = c * oi - s * or_;
        re[k] = 0.5 * (er + tr);
        im[k] = 0.5 * (ei + ti);
        // Bin j: E[j] = conj E[k], O[j] = conj O[k] and W^j = -conj W^k, so W^j O[j] = -conj(W^k
        // O[k]).
        re[j] = 0.5 * (er - tr);
        im[j] = 0.5 * (-ei + ti);
    }
    for (uint32_t k = 1; k < m; ++k) {
        re[n - k] = re[k];
        im[n - k] = -im[k];
    }
}

}  // namespace tw
