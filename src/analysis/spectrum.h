// Numeric building blocks of the analysis: the periodic Hamming window, a radix-2
// decimation-in-frequency FFT with precomputed tables, and the spectrum of one frame.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace tw {

// 2 pi and pi exactly as the analysis uses them.
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kPi = 3.141592653589793;

namespace detail {
// The tables are read in tight loops; 16-byte alignment lets the compiler vectorise them.
struct AlignedFree {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using AlignedArray = std::unique_ptr<T[], AlignedFree>;
template <typename T>
AlignedArray<T> MakeAligned(size_t count);
}  // namespace detail

// One transformed frame: real and imaginary parts, zeroed when sized.
class LSpectrum {
  public:
    explicit LSpectrum(uint32_t size);
    uint32_t Size() const { return size_; }
    double* Real() { return real_.get(); }
    double* Imaginary() { return imaginary_.get(); }
    const double* Real() const { return real_.get(); }
    const double* Imaginary() const { return imaginary_.get(); }

  private:
    uint32_t size_;
    detail::AlignedArray<double> real_;
    detail::AlignedArray<double> imaginary_;
};

// The periodic Hamming window of N points at sample position x: 0.54 - 0.46 cos(2 pi x / N),
// 0.08 at 0 and 1 at N/2.
double HammingWeight(double x, uint32_t size);

// w[i] = HammingWeight(i, N).
class LHammingWindow {
  public:
    explicit LHammingWindow(uint32_t size);
    uint32_t Size() const { return size_; }
    const double* Weights() const { return weights_.get(); }

  private:
    uint32_t size_;
    detail::AlignedArray<double> weights_;
};

// Forward transform of order m (N = 2^m points), scaled by 1/N, natural-order output.
class LFFT {
  public:
    explicit LFFT(uint32_t order);
    uint32_t Order() const { return order_; }
    uint32_t Size() const { return size_; }
    const int32_t* BitReversal() const { return bitReversal_.get(); }

    // In place on the spectrum's arrays; uses the tables only (no allocation, no trig calls).
    void Transform(LSpectrum& spectrum) const;

  private:
    uint32_t order_;
    uint32_t size_;
    detail::AlignedArray<int32_t> bitReversal_;
    detail::AlignedArray<double> cosine_;
    detail::AlignedArray<double> sine_;
};

// real[i] = sample[i] * w[i], imaginary[i] = 0 for i < count.
void ApplyWindow(LSpectrum& spectrum, const int32_t* samples, uint32_t count,
                 const LHammingWindow& window);
inline void Transform(const LFFT& fft, LSpectrum& spectrum) {
    fft.Transform(spectrum);
}
double Magnitude(const LSpectrum& spectrum, uint32_t bin);

}  // namespace tw
