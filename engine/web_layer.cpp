#include "engine/internal/web_layer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "engine/internal/spare_cores.h"
#include "engine/internal/web_canonical.h"
#include "engine/internal/web_dct.h"
#include "engine/internal/web_directions.h"

namespace pmk::web {
namespace {

constexpr auto kSide = static_cast<std::size_t>(kCanonicalSide);
constexpr auto kPlaneSize = kSide * kSide;
constexpr auto kBlock = static_cast<std::size_t>(kBlockSize);

// The change of luma is carried by green and red alone, whose luma weights sum
// to this.
constexpr double kGreenRedLuma = 0.587 + 0.299;

// The change fades in over this many canonical pixels from the border, so the
// layer has no visible edge where the margin begins.
constexpr std::int32_t kTaperWidth = 10;
// Half the side of the square over which local detail is measured.
constexpr std::int32_t kDetailRadius = 3;

constexpr std::int32_t kMostSolverIterations = 20;
constexpr double kSolverTolerance = 1e-3;

// A read whose decoded word disagrees with more hard decisions than this is
// not believed even when its check holds.
constexpr std::int32_t kMostDisagreements = 57;

bool Eligible(const ImageRecord& picture) noexcept {
  return picture.HasData() && picture.bits() == 8 && picture.channels() >= 3 &&
         picture.width() >= kSmallestSide && picture.height() >= kSmallestSide;
}

// The lattice point of `bit` nearest to `value` (in steps, dithered).
double Target(double value, double dither, std::uint8_t bit) noexcept {
  const double shift = dither + 0.5 * bit;
  return shift + std::round(value - shift);
}

// > 0 leans to 1: how much nearer the coset of 1 is than that of 0.
double SoftBit(double value, double dither) noexcept {
  const double r = value - dither - std::floor(value - dither);  // 0 .. 1
  const double to_zero = std::min(r, 1.0 - r);
  const double to_one = std::fabs(r - 0.5);
  return (to_zero - to_one) * 2.0;
}

// The canonical taps and axis operators of one crop hypothesis along an axis.
struct Axis {
  AxisTaps taps;
  HeapArray<double> op;
};

bool MakeAxis(const HeapArray<double>& rows, std::int32_t length, double crop,
              Axis& axis) noexcept {
  double from = 0.0;
  double to = 0.0;
  CanonicalWindow(length, crop, from, to);
  return LanczosTaps(length, kCanonicalSide, from, to, axis.taps) &&
         AxisOperator(rows, axis.taps, length, axis.op);
}

// 64-bit mix of a counter: the random rounding's draws, one per sample, so
// that rows can be rounded in any order.
std::uint64_t Mix(std::uint64_t z) noexcept {
  z += 0x9e3779b97f4a7c15ull;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

// The shape of the change over the canonical picture: the square root of the
// local detail (standard deviation over a small square) over its median,
// bounded, and faded out towards the border.
bool MakeShape(const FloatPlane& canonical, HeapArray<double>& shape) noexcept {
  HeapArray<double> sums;
  HeapArray<double> squares;
  HeapArray<double> sorted;
  const std::size_t stride = kSide + 1;
  if (!shape.Allocate(kPlaneSize) || !sums.Allocate(stride * stride) ||
      !squares.Allocate(stride * stride) || !sorted.Allocate(kPlaneSize)) {
    return false;
  }
  // Summed-area tables.
  std::fill(sums.begin(), sums.end(), 0.0);
  std::fill(squares.begin(), squares.end(), 0.0);
  for (std::size_t y = 0; y < kSide; ++y) {
    const float* row = canonical.Row(static_cast<std::int32_t>(y));
    for (std::size_t x = 0; x < kSide; ++x) {
      const double v = row[x];
      sums[(y + 1) * stride + x + 1] =
          v + sums[y * stride + x + 1] + sums[(y + 1) * stride + x] - sums[y * stride + x];
      squares[(y + 1) * stride + x + 1] = v * v + squares[y * stride + x + 1] +
                                          squares[(y + 1) * stride + x] - squares[y * stride + x];
    }
  }
  const auto box = [&](const HeapArray<double>& table, std::size_t x0, std::size_t y0,
                       std::size_t x1, std::size_t y1) {
    return table[y1 * stride + x1] - table[y0 * stride + x1] - table[y1 * stride + x0] +
           table[y0 * stride + x0];
  };
  for (std::size_t y = 0; y < kSide; ++y) {
    const std::size_t y0 = y >= kDetailRadius ? y - kDetailRadius : 0;
    const std::size_t y1 = std::min(kSide, y + kDetailRadius + 1);
    for (std::size_t x = 0; x < kSide; ++x) {
      const std::size_t x0 = x >= kDetailRadius ? x - kDetailRadius : 0;
      const std::size_t x1 = std::min(kSide, x + kDetailRadius + 1);
      const double n = static_cast<double>((x1 - x0) * (y1 - y0));
      const double mean = box(sums, x0, y0, x1, y1) / n;
      const double variance = box(squares, x0, y0, x1, y1) / n - mean * mean;
      shape[y * kSide + x] = std::sqrt(std::max(variance, 0.0));
    }
  }
  std::copy(shape.begin(), shape.end(), sorted.begin());
  std::nth_element(sorted.begin(), sorted.begin() + kPlaneSize / 2, sorted.end());
  const double median = std::max(sorted[kPlaneSize / 2], 0.5);
  std::array<double, kSide> taper{};
  for (std::size_t i = 0; i < kSide; ++i) {
    const std::size_t from_edge = std::min(i, kSide - 1 - i);
    taper[i] = from_edge >= kTaperWidth
                   ? 1.0
                   : 0.5 - 0.5 * std::cos(3.141592653589793 *
                                          (static_cast<double>(from_edge) + 0.5) / kTaperWidth);
  }
  for (std::size_t y = 0; y < kSide; ++y) {
    for (std::size_t x = 0; x < kSide; ++x) {
      const double s =
          std::clamp(std::sqrt(shape[y * kSide + x] / median), kLeastShape, kMostShape);
      // Never quite zero at the border: the solve needs a positive weight.
      shape[y * kSide + x] = s * std::max(taper[x] * taper[y], 1e-3);
    }
  }
  return true;
}

// The shaped change: finds amounts a with Project(Forward(shape * Inverse(
// Spread(a)))) = wanted by conjugate gradients (the operator is symmetric and
// positive), and leaves shape * Inverse(Spread(a)) in `change`.
struct Solver {
  const Directions& directions;
  const double* rows;
  const double* shape;
  double* block;
  double* scratch;
  double* plane;

  // out = G^T diag(shape) G in, and the shaped plane left in `plane`.
  void Apply(const Projections& in, Projections& out) const noexcept {
    std::fill(block, block + kBlock, 0.0);
    Spread(directions, in, block);
    InverseBlock(rows, block, scratch, plane);
    for (std::size_t i = 0; i < kPlaneSize; ++i) plane[i] *= shape[i];
    ForwardBlock(rows, plane, scratch, block);
    Project(directions, block, 0, out);
  }
};

double Dot(const Projections& a, const Projections& b) noexcept {
  double sum = 0.0;
  for (std::size_t k = 0; k < a.size(); ++k) sum += a[k] * b[k];
  return sum;
}

std::int32_t SolveShapedChange(const Solver& solver, const Projections& wanted) noexcept {
  Projections a{};
  Projections r = wanted;
  Projections p = wanted;
  Projections ap{};
  double rr = Dot(r, r);
  const double goal = kSolverTolerance * kSolverTolerance * std::max(rr, 1e-300);
  std::int32_t iterations = 0;
  while (iterations < kMostSolverIterations && rr > goal) {
    solver.Apply(p, ap);
    const double alpha = rr / Dot(p, ap);
    for (std::size_t k = 0; k < a.size(); ++k) {
      a[k] += alpha * p[k];
      r[k] -= alpha * ap[k];
    }
    const double next = Dot(r, r);
    for (std::size_t k = 0; k < p.size(); ++k) p[k] = r[k] + next / rr * p[k];
    rr = next;
    ++iterations;
  }
  solver.Apply(a, ap);  // leaves the shaped change of `a` in the solver's plane
  return iterations;
}

// Adds the canonical change, enlarged over the canonical window, to green and
// red with random rounding.
std::uint8_t ApplyChange(ImageRecord& picture, const double* change, std::uint32_t seed) noexcept {
  const std::int32_t width = picture.width();
  const std::int32_t height = picture.height();
  const std::int32_t channels = picture.channels();
  double from_x = 0.0;
  double to_x = 0.0;
  double from_y = 0.0;
  double to_y = 0.0;
  CanonicalWindow(width, 0.0, from_x, to_x);
  CanonicalWindow(height, 0.0, from_y, to_y);
  AxisTaps across;
  AxisTaps down;
  HeapArray<double> rows;  // one interpolated canonical row per worker
  if (!CubicEnlargementTaps(kCanonicalSide, width, from_x, to_x, across) ||
      !CubicEnlargementTaps(kCanonicalSide, height, from_y, to_y, down) ||
      !rows.Allocate(kSide * kMostParallelThreads)) {
    return kResultNoMemory;
  }
  const std::uint64_t key = Mix(0x77eb1a7e00000000ull ^ seed);
  ParallelFor(height, [&](std::int32_t y, int worker) {
    const auto yi = static_cast<std::size_t>(y);
    if (down.count[yi] == 0) return;
    double* line = rows.data() + static_cast<std::size_t>(worker) * kSide;
    std::fill(line, line + kSide, 0.0);
    const float* wy = down.weights.data() + down.offset[yi];
    for (std::int32_t k = 0; k < down.count[yi]; ++k) {
      const double* source = change + static_cast<std::size_t>(down.first[yi] + k) * kSide;
      for (std::size_t x = 0; x < kSide; ++x) line[x] += wy[k] * source[x];
    }
    std::uint8_t* pixels = picture.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < width; ++x) {
      const auto xi = static_cast<std::size_t>(x);
      if (across.count[xi] == 0) continue;
      const float* wx = across.weights.data() + across.offset[xi];
      const double* s = line + across.first[xi];
      double luma = 0.0;
      for (std::int32_t k = 0; k < across.count[xi]; ++k) luma += wx[k] * s[k];
      const double delta = luma / kGreenRedLuma;
      const double whole = std::floor(delta);
      const double fraction = delta - whole;
      const std::uint64_t draw =
          Mix(key ^ ((static_cast<std::uint64_t>(y) << 32) | static_cast<std::uint32_t>(x)));
      // Green and red take separate halves of the draw.
      for (std::int32_t c = 1; c <= 2; ++c) {
        const double u = static_cast<double>((draw >> (c == 1 ? 0 : 32)) & 0xffffffffu) * 0x1.0p-32;
        const int step = static_cast<int>(whole) + (u < fraction ? 1 : 0);
        std::uint8_t& sample = pixels[static_cast<std::size_t>(x) * channels + c];
        sample = static_cast<std::uint8_t>(std::clamp(sample + step, 0, 255));
      }
    }
  });
  return kResultOk;
}

}  // namespace

double FittingStep(const double* projections, const double* dither) noexcept {
  double best_step = kStep;
  double best_fit = -1.0;
  double step = kStep / kGainRange;
  for (std::int32_t i = 0; i < kScanSteps; ++i, step *= kScanRatio) {
    double fit = 0.0;
    for (std::int32_t k = 0; k < kCodedBits; ++k) {
      fit += std::fabs(SoftBit(projections[k] / step, dither[k]));
    }
    if (fit > best_fit) {
      best_fit = fit;
      best_step = step;
    }
  }
  return best_step;
}

std::uint8_t EmbedLayer(ImageRecord& picture, std::string_view signature, std::uint32_t seed,
                        EmbedDetails* details) noexcept {
  if (!Eligible(picture)) return kResultRefused;
  FloatPlane search;
  if (const std::uint8_t code = SearchPlane(picture, search); code != kResultOk) return code;
  HeapArray<double> rows;
  Axis across;
  Axis down;
  HeapArray<double> scratch;
  HeapArray<double> block;
  HeapArray<double> plane;
  HeapArray<double> shape;
  FloatPlane canonical;
  if (!DctRows(rows) || !MakeAxis(rows, search.width, 0.0, across) ||
      !MakeAxis(rows, search.height, 0.0, down) ||
      !scratch.Allocate(static_cast<std::size_t>(kBandEdge) *
                        std::max<std::size_t>(kSide, static_cast<std::size_t>(search.width))) ||
      !block.Allocate(kBlock) || !plane.Allocate(kPlaneSize) ||
      !Resample(search, across.taps, down.taps, canonical) || !MakeShape(canonical, shape)) {
    return kResultNoMemory;
  }
  BlockOf(search, down.op.data(), across.op.data(), scratch.data(), block.data());
  Directions directions;
  MakeDirections(directions);
  Projections projections;
  Project(directions, block.data(), 0, projections);
  const double level = DetailLevel(directions, block.data());
  if (!(level >= kLeastLevel)) return kResultRefused;
  const double step = kStep;

  CodedBits coded;
  Encode(InfoFromSignature(signature), coded);
  Projections wanted;
  for (std::size_t k = 0; k < wanted.size(); ++k) {
    const double value = projections[k] / step;
    wanted[k] = (Target(value, directions.dither[k], coded[k]) - value) * step;
  }
  const Solver solver{directions,   rows.data(),    shape.data(),
                      block.data(), scratch.data(), plane.data()};
  const std::int32_t iterations = SolveShapedChange(solver, wanted);
  if (details != nullptr) *details = {level, step, iterations};
  return ApplyChange(picture, plane.data(), seed);
}

std::uint8_t ReadLayer(const ImageRecord& picture, const Checkpoints& checkpoints, char* signature,
                       ReadDetails* details, const CodedBits* expected) noexcept {
  ReadDetails local;
  ReadDetails& report = details != nullptr ? *details : local;
  report = ReadDetails{};
  if (!Eligible(picture)) return kResultRefused;
  FloatPlane search;
  if (const std::uint8_t code = SearchPlane(picture, search); code != kResultOk) return code;
  HeapArray<double> rows;
  std::array<Axis, kCropSteps> across;
  std::array<Axis, kCropSteps> down;
  std::array<bool, kCropSteps> made_down{};
  HeapArray<double> partial;  // per vertical crop: kBandEdge x width
  HeapArray<double> block;
  const std::size_t width = static_cast<std::size_t>(search.width);
  const std::size_t partial_size = static_cast<std::size_t>(kBandEdge) * width;
  if (!DctRows(rows) || !partial.Allocate(partial_size * kCropSteps) || !block.Allocate(kBlock)) {
    return kResultNoMemory;
  }
  for (std::int32_t i = 0; i < kCropSteps; ++i) {
    if (!MakeAxis(rows, search.width, i * kCropGrain, across[static_cast<std::size_t>(i)])) {
      return kResultNoMemory;
    }
  }
  Directions directions;
  MakeDirections(directions);

  // Fewest pixels missing first.
  for (std::int32_t total = 0; total <= 2 * (kCropSteps - 1); ++total) {
    for (std::int32_t cy = std::max(0, total - (kCropSteps - 1));
         cy <= std::min(total, kCropSteps - 1); ++cy) {
      const std::int32_t cx = total - cy;
      if (checkpoints.StopAsked()) return kResultRefused;
      const auto yi = static_cast<std::size_t>(cy);
      double* t = partial.data() + yi * partial_size;
      if (!made_down[yi]) {
        if (!MakeAxis(rows, search.height, cy * kCropGrain, down[yi])) return kResultNoMemory;
        made_down[yi] = true;
        // t = down operator * plane, kept for every horizontal crop.
        std::fill(t, t + partial_size, 0.0);
        const std::size_t height = static_cast<std::size_t>(search.height);
        for (std::size_t u = 0; u < static_cast<std::size_t>(kBandEdge); ++u) {
          const double* d = down[yi].op.data() + u * height;
          double* tu = t + u * width;
          for (std::size_t y = 0; y < height; ++y) {
            const double c = d[y];
            if (c == 0.0) continue;
            const float* row = search.Row(static_cast<std::int32_t>(y));
            for (std::size_t x = 0; x < width; ++x) tu[x] += c * row[x];
          }
        }
      }
      const double* a = across[static_cast<std::size_t>(cx)].op.data();
      for (std::size_t u = 0; u < static_cast<std::size_t>(kBandEdge); ++u) {
        for (std::size_t v = 0; v < static_cast<std::size_t>(kBandEdge); ++v) {
          const double* tu = t + u * width;
          const double* av = a + v * width;
          double sum = 0.0;
          for (std::size_t x = 0; x < width; ++x) sum += tu[x] * av[x];
          block[u * kBandEdge + v] = sum;
        }
      }
      for (std::int32_t orientation = 0; orientation < kOrientations; ++orientation) {
        ++report.hypotheses;
        Projections projections;
        Project(directions, block.data(), orientation, projections);
        const double step = FittingStep(projections.data(), directions.dither.data());
        SoftBits soft;
        std::int32_t errors = 0;
        for (std::size_t k = 0; k < soft.size(); ++k) {
          soft[k] = SoftBit(projections[k] / step, directions.dither[k]);
          if (expected != nullptr && (soft[k] > 0.0) != ((*expected)[k] != 0)) ++errors;
        }
        if (expected != nullptr && (report.fewest_errors < 0 || errors < report.fewest_errors)) {
          report.fewest_errors = errors;
        }
        InfoBits info;
        Decode(soft, info);
        if (!CheckHolds(info)) continue;
        char text[16];
        if (SignatureFromInfo(info, kMinimumSignatureLength, text) < 0) continue;
        CodedBits again;
        Encode(info, again);
        std::int32_t disagreements = 0;
        for (std::size_t k = 0; k < soft.size(); ++k) {
          if ((soft[k] > 0.0) != (again[k] != 0)) ++disagreements;
        }
        if (disagreements > kMostDisagreements) continue;
        std::memcpy(signature, text, std::strlen(text) + 1);
        report.orientation = orientation;
        report.crop_x = cx * kCropGrain;
        report.crop_y = cy * kCropGrain;
        report.disagreements = disagreements;
        report.step = step;
        return kResultOk;
      }
    }
  }
  return kResultRefused;
}

}  // namespace pmk::web
