// The spectrum of a real frame from a complex transform of half its size: the frame's even
// samples go into the real parts and its odd samples into the imaginary parts, and one pass
// over the result separates the two half spectra and joins them into the full one.
#pragma once

#include <cstdint>

#include "analysis/spectrum.h"

namespace tw {

class LRealFFT {
  public:
    // Order m: frames of N = 2^m samples through a complex transform of N / 2 points.
    explicit LRealFFT(uint32_t order);
    uint32_t Size() const { return size_; }

    // Capture thread. Windows `samples` (N of them) and leaves in `spectrum` the same scaled
    // forward transform as ApplyWindow then Transform, both halves (bin N - k mirrors bin k).
    // Uses the tables only: no allocation, no trigonometric call.
    void Transform(const int32_t* samples, const LHammingWindow& window, LSpectrum& spectrum) const;

  private:
    uint32_t size_;
    uint32_t halfOrder_;
    // Where each packed point goes so that the butterflies run in natural order.
    detail::AlignedArray<int32_t> bitReversal_;
    // Twiddles of the half transform, pass by pass: the pass with butterflies h apart reads
    // cos and -sin of pi j / h for j = 0 .. h-1 from offset h - 1, contiguously.
    detail::AlignedArray<double> passCosine_;
    detail::AlignedArray<double> passSine_;
    // cos and sin of 2 pi k / N for k = 0 .. N/4: the twiddles that join the half spectra.
    detail::AlignedArray<double> cosine_;
    detail::AlignedArray<double> sine_;
};

}  // namespace tw
