// Real-input FFT by packing.
//
// With z[n] = x[2n] + i x[2n+1] (M = N/2 points) and Z its transform, the transforms of the
// even and odd samples are E[k] = (Z[k] + conj Z[M-k]) / 2 and O[k] = (Z[k] - conj Z[M-k]) / 2i,
// and X[k] = E[k] + W^k O[k] with W = exp(-2 pi i / N). Bins k and M-k are joined together
// from Z[k] and Z[M-k], in place, and scaled by 1/N on the way; the upper half is the mirror
// image (real input).
//
// The half transform is an iterative radix-2 decimation in time: the packing writes each point
// to its bit-reversed place, then passes with butterflies 1, 2, 4, ... apart read their
// twiddles from one contiguous run per pass, so that no reorder pass and no scattered table
// reads are needed.
#include "analysis/real_fft.h"

#include <cmath>

namespace tw {

LRealFFT::LRealFFT(uint32_t order)
    : size_(1u << order),
      halfOrder_(order - 1),
      bitReversal_(detail::MakeAligned<int32_t>(size_ / 2)),
      passCosine_(detail::MakeAligned<double>(size_ / 2)),
      passSine_(detail::MakeAligned<double>(size_ / 2)),
      cosine_(detail::MakeAligned<double>(size_ / 4 + 1)),
      sine_(detail::MakeAligned<double>(size_ / 4 + 1)) {
    const uint32_t m = size_ / 2;
    for (uint32_t i = 0; i < m; ++i) {
        uint32_t reversed = 0;
        for (uint32_t bit = 0; bit < halfOrder_; ++bit)
            reversed |= ((i >> bit) & 1u) << (halfOrder_ - 1 - bit);
        bitReversal_[i] = static_cast<int32_t>(reversed);
    }
    for (uint32_t h = 1; h < m; h *= 2) {
        for (uint32_t j = 0; j < h; ++j) {
            passCosine_[h - 1 + j] = std::cos(kPi * j / h);
            passSine_[h - 1 + j] = -std::sin(kPi * j / h);
        }
    }
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
    // Gathered rather than scattered: sequential stores cost less than scattered ones.
    for (uint32_t r = 0; r < m; ++r) {
        const uint32_t i = static_cast<uint32_t>(bitReversal_[r]);
        re[r] = static_cast<double>(samples[2 * i]) * w[2 * i];
        im[r] = static_cast<double>(samples[2 * i + 1]) * w[2 * i + 1];
    }

    // First pass: the twiddle is 1.
    for (uint32_t a = 0; a < m; a += 2) {
        const double tr = re[a + 1], ti = im[a + 1];
        re[a + 1] = re[a] - tr;
        im[a + 1] = im[a] - ti;
        re[a] += tr;
        im[a] += ti;
    }
    for (uint32_t h = 2; h < m; h *= 2) {
        const double* wr = passCosine_.get() + h - 1;
        const double* wi = passSine_.get() + h - 1;
        for (uint32_t start = 0; start < m; start += 2 * h) {
            // The four runs never overlap; saying so lets the compiler vectorise the loop.
            double* __restrict ra = re + start;
            double* __restrict ia = im + start;
            double* __restrict rb = ra + h;
            double* __restrict ib = ia + h;
            // Two butterflies per step (h is even from here on), which the compiler can pair.
            for (uint32_t j = 0; j < h; j += 2) {
                const double tr0 = wr[j] * rb[j] - wi[j] * ib[j];
                const double tr1 = wr[j + 1] * rb[j + 1] - wi[j + 1] * ib[j + 1];
                const double ti0 = wr[j] * ib[j] + wi[j] * rb[j];
                const double ti1 = wr[j + 1] * ib[j + 1] + wi[j + 1] * rb[j + 1];
                rb[j] = ra[j] - tr0;
                rb[j + 1] = ra[j + 1] - tr1;
                ib[j] = ia[j] - ti0;
                ib[j + 1] = ia[j + 1] - ti1;
                ra[j] += tr0;
                ra[j + 1] += tr1;
                ia[j] += ti0;
                ia[j + 1] += ti1;
            }
        }
    }

    // Join. E and O carry a factor 1/2 each; the whole transform wants 1/N.
    const double scale = 1.0 / n;
    const double z0r = re[0], z0i = im[0];
    re[0] = scale * (z0r + z0i);
    im[0] = 0.0;
    re[m] = scale * (z0r - z0i);
    im[m] = 0.0;
    // Bins k and M - k for k = 1 .. M/2; W^(M-k) = -conj W^k, so one twiddle serves both.
    for (uint32_t k = 1; k <= m / 2; ++k) {
        const uint32_t j = m - k;
        const double ar = re[k], ai = im[k], br = re[j], bi = im[j];
        // 2E = Z[k] + conj Z[j] and 2O = (Z[k] - conj Z[j]) / i, for bin k.
        const double er = ar + br, ei = ai - bi;
        const double or_ = ai + bi, oi = br - ar;
        // W^k = cos - i sin of 2 pi k / N; the table holds k up to N/4 = M/2.
        const double c = cosine_[k], s = sine_[k];
        const double tr = c * or_ + s * oi, ti = c * oi - s * or_;
        const double half = 0.5 * scale;
        re[k] = half * (er + tr);
        im[k] = half * (ei + ti);
        // Bin j: E[j] = conj E[k], O[j] = conj O[k] and W^j = -conj W^k, so
        // W^j O[j] = -conj(W^k O[k]).
        re[j] = half * (er - tr);
        im[j] = half * (ti - ei);
    }
    for (uint32_t k = 1; k < m; ++k) {
        re[n - k] = re[k];
        im[n - k] = -im[k];
    }
}

}  // namespace tw
