// The one-dimensional filters of filtered back-projection, applied through FFTW to each
// detector row zero-padded to a power of two at least twice its length (so that the
// circular convolution does not wrap):
//   ramp     |w|, from the band-limited Ram-Lak kernel in space (h(0) = 1 / (4 ds^2),
//            h(n odd) = -1 / (pi^2 n^2 ds^2), 0 for n even), which keeps the mean of the
//            filtered projection right;
//   hilbert  i sgn(w) / (2 pi): for projections that are the derivative of the projected
//            quantity with a minus sign (g = -dP/ds, a refraction angle), the filtered g is
//            |w| applied to P, so that the same back-projection gives the quantity itself.
// Either may be apodised by a Hann window over frequency (1 + cos(pi w / w_Nyquist)) / 2.
#pragma once

#include <complex>
#include <cstddef>
#include <memory>
#include <vector>

namespace conesim::tools {

enum class FilterKind { kRamp, kHilbert };
enum class FilterWindow { kRamLak, kHann };

// The frequency response for rows of `length` samples `spacing` apart.
class ProjectionFilter {
  public:
    ProjectionFilter(FilterKind kind, FilterWindow window, std::size_t length, double spacing);
    ~ProjectionFilter();
    ProjectionFilter(const ProjectionFilter&) = delete;
    ProjectionFilter& operator=(const ProjectionFilter&) = delete;

    std::size_t length() const { return length_; }
    std::size_t paddedLength() const { return padded_; }
    // Filters row (length() values) into out (length() values), including the spacing factor
    // of the convolution integral. Uses this object's buffers: one object per thread.
    void apply(const float* row, float* out);

  private:
    std::size_t length_;
    std::size_t padded_;
    std::vector<std::complex<double>> response_;  //!< padded / 2 + 1 values
    struct Plans;
    std::unique_ptr<Plans> plans_;
};

// The smallest power of two at least twice length.
std::size_t paddedFilterLength(std::size_t length);

}  // namespace conesim::tools
