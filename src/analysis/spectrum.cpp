// Spectrum: periodic Hamming window and an in-place radix-2 FFT.
//
// The transform runs the butterflies in decimation-in-frequency order over natural-order input
// and reorders by bit reversal at the end, scaling by 1/N while it reorders. Twiddles come from
// full-length cosine and sine tables indexed through the bit-reversal table, so no trigonometric
// function is called per frame.
#include "analysis/spectrum.h"

#include <cmath>
#include <cstring>
#include <new>
#include <utility>

namespace tw {

namespace detail {
template <typename T>
AlignedArray<T> MakeAligned(size_t count) {
    // aligned_alloc wants a size that is a multiple of the alignment.
    constexpr size_t kAlignment = 16;
    size_t bytes = count * sizeof(T);
    bytes = (bytes + kAlignment - 1) / kAlignment * kAlignment;
    if (bytes == 0) bytes = kAlignment;
    void* p = std::aligned_alloc(kAlignment, bytes);
    if (!p) throw std::bad_alloc();
    std::memset(p, 0, bytes);
    return AlignedArray<T>(static_cast<T*>(p));
}
template AlignedArray<double> MakeAligned<double>(size_t);
template AlignedArray<int32_t> MakeAligned<int32_t>(size_t);
}  // namespace detail

LSpectrum::LSpectrum(uint32_t size)
    : size_(size),
      real_(detail::MakeAligned<double>(size)),
      imaginary_(detail::MakeAligned<double>(size)) {}

double HammingWeight(double x, uint32_t size) {
    return 0.54 - 0.46 * std::cos(x * (kTwoPi / size));
}

LHammingWindow::LHammingWindow(uint32_t size)
    : size_(size), weights_(detail::MakeAligned<double>(size)) {
    for (uint32_t i = 0; i < size; ++i) weights_[i] = HammingWeight(i, size);
}

LFFT::LFFT(uint32_t order)
    : order_(order),
      size_(1u << order),
      bitReversal_(detail::MakeAligned<int32_t>(size_)),
      cosine_(detail::MakeAligned<double>(size_)),
      sine_(detail::MakeAligned<double>(size_)) {
    const double step = kTwoPi / size_;
    for (uint32_t i = 0; i < size_; ++i) {
        uint32_t reversed = 0;
        for (uint32_t bit = 0; bit < order_; ++bit)
            reversed |= ((i >> bit) & 1u) << (order_ - 1 - bit);
        bitReversal_[i] = static_cast<int32_t>(reversed);
        cosine_[i] = std::cos(i * step);
        sine_[i] = std::sin(i * step);
    }
}

void LFFT::Transform(LSpectrum& spectrum) const {
    double* re = spectrum.Real();
    double* im = spectrum.Imaginary();
    const uint32_t n = size_;

    uint32_t half = n / 2;
    for (uint32_t pass = 0; pass < order_; ++pass) {
        for (uint32_t group = 0, start = 0; start < n; ++group, start += 2 * half) {
            const int32_t t = bitReversal_[2 * group];
            const double c = cosine_[t];
            const double sn = sine_[t];
            for (uint32_t k = 0; k < half; ++k) {
                const uint32_t a = start + k;
                const uint32_t b = start + half + k;
                const double tr = c * re[b] + sn * im[b];
                const double ti = c * im[b] - sn * re[b];
                re[b] = re[a] - tr;
                im[b] = im[a] - ti;
                re[a] = re[a] + tr;
                im[a] = im[a] + ti;
            }
        }
        half /= 2;
    }

    const double scale = 1.0 / n;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t r = static_cast<uint32_t>(bitReversal_[i]);
        if (i < r) {
            std::swap(re[i], re[r]);
            std::swap(im[i], im[r]);
        }
        re[i] *= scale;
        im[i] *= scale;
    }
}

void ApplyWindow(LSpectrum& spectrum, const int32_t* samples, uint32_t count,
                 const LHammingWindow& window) {
    double* re = spectrum.Real();
    double* im = spectrum.Imaginary();
    const double* w = window.Weights();
    for (uint32_t i = 0; i < count; ++i) {
        re[i] = static_cast<double>(samples[i]) * w[i];
        im[i] = 0.0;
    }
}

double Magnitude(const LSpectrum& spectrum, uint32_t bin) {
    const double r = spectrum.Real()[bin];
    const double i = spectrum.Imaginary()[bin];
    return std::sqrt(r * r + i * i);
}

}  // namespace tw
