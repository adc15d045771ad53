// Spike: a global, resize-proof "web" layer at the real payload size.
//
// The luma is reduced to a 256 x 256 canonical picture (separable Lanczos-3,
// antialiased), its orthonormal DCT taken, and keyed orthonormal directions in
// the mid band (radius 6..40) each carry one coded bit by spread-transform
// dither modulation. The change is taken back to pixels, enlarged (bicubic)
// and added equally to blue, green and red with random rounding.
//
// Payload: 60 signature bits + 48 check bits (truncated CRC-64), coded by the
// rate-1/2, constraint-length-7 convolutional code (soft Viterbi), 228 bits.
//
// Each photograph is signed, written losslessly, published with ImageMagick
// `convert` pipelines and read back in all eight right-angle orientations.
// Unsigned photographs are read too: any valid check is a false positive.
//
//   web_layer_spike PHOTO_FOLDER [--photos=N] [--step=S] [--passes=P]
//       [--margin=M] [--crop=C] [--grain=G] [--out=FILE]
//
// --margin keeps the layer M (a fraction) in from every side; --crop reads
// crop hypotheses up to C missing per side in steps of G.
//
// Not a test and not run by CTest: it needs ImageMagick and real photographs.
#include <FreeImage.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"

namespace pmk::bench {
namespace {

constexpr int kSide = 256;
constexpr double kBandLow = 6.0;
constexpr double kBandHigh = 40.0;
constexpr int kSignatureBits = 60;
constexpr int kCheckBits = 48;
constexpr int kInfoBits = kSignatureBits + kCheckBits;
constexpr int kMemory = 6;  // constraint length 7
constexpr int kCodedBits = 2 * (kInfoBits + kMemory);
constexpr std::uint64_t kKey = 0x5eb1a7e2026ull;

// The layer lives in the inner part of the picture, `margin` in from every
// side, so that a crop smaller than the margin removes nothing it needs.
double margin = 0.0;

// Resampling offsets (see MakeTaps) of the inner part, read from a picture
// missing `crop` of the signed one at each side.
double InnerOffset(double crop) {
  return -(margin - crop) / (1.0 - 2.0 * margin);
}

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// splitmix64: keyed, reproducible, fast.
struct Random {
  std::uint64_t state;
  std::uint64_t Next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  double Gaussian() {
    const double u = std::max(Uniform(), 1e-300);
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * Uniform());
  }
};

struct Plane {
  int width = 0;
  int height = 0;
  std::vector<float> v;
  Plane() = default;
  Plane(int w, int h) : width(w), height(h), v(static_cast<std::size_t>(w) * h, 0.0f) {}
  float& at(int x, int y) { return v[static_cast<std::size_t>(y) * width + x]; }
  float at(int x, int y) const { return v[static_cast<std::size_t>(y) * width + x]; }
};

// ---- resampling -------------------------------------------------------------

double Lanczos3(double x) {
  x = std::fabs(x);
  if (x < 1e-9) return 1.0;
  if (x >= 3.0) return 0.0;
  const double px = 3.141592653589793 * x;
  return 3.0 * std::sin(px) * std::sin(px / 3.0) / (px * px);
}

double Bicubic(double x) {  // Keys, a = -0.5
  x = std::fabs(x);
  if (x < 1.0) return (1.5 * x - 2.5) * x * x + 1.0;
  if (x < 2.0) return ((-0.5 * x + 2.5) * x - 4.0) * x + 2.0;
  return 0.0;
}

// Normalised taps of one resampling direction; pixel centres line up.
struct Taps {
  std::vector<int> first;
  std::vector<int> count;
  std::vector<float> weights;  // count[i] taps from offset[i]
  std::vector<std::size_t> offset;
};

// `lo` and `hi`: the fractions of the wanted picture missing from `in` at
// either end (a crop hypothesis); what falls outside comes from the edge.
Taps MakeTaps(int in, int out, bool lanczos, double lo_crop = 0.0, double hi_crop = 0.0) {
  Taps t;
  const double kept = 1.0 - lo_crop - hi_crop;
  const double scale = static_cast<double>(in) / (out * kept);
  const double stretch = lanczos ? std::max(1.0, scale) : 1.0;
  const double radius = (lanczos ? 3.0 : 2.0) * stretch;
  for (int o = 0; o < out; ++o) {
    const double centre = ((o + 0.5) / out - lo_crop) / kept * in - 0.5;
    const int lo = static_cast<int>(std::ceil(centre - radius));
    const int hi = static_cast<int>(std::floor(centre + radius));
    std::vector<double> w;
    double sum = 0.0;
    for (int i = lo; i <= hi; ++i) {
      const double d = (i - centre) / stretch;
      const double k = lanczos ? Lanczos3(d) : Bicubic(d);
      w.push_back(k);
      sum += k;
    }
    // Edges mirror onto the picture: fold taps outside it onto the edge pixel.
    t.first.push_back(std::clamp(lo, 0, in - 1));
    const int last = std::clamp(hi, 0, in - 1);
    const int n = last - t.first.back() + 1;
    t.count.push_back(n);
    t.offset.push_back(t.weights.size());
    std::vector<float> folded(static_cast<std::size_t>(n), 0.0f);
    for (int i = lo; i <= hi; ++i) {
      const int at = std::clamp(i, 0, in - 1) - t.first.back();
      folded[static_cast<std::size_t>(at)] +=
          static_cast<float>(w[static_cast<std::size_t>(i - lo)] / sum);
    }
    t.weights.insert(t.weights.end(), folded.begin(), folded.end());
  }
  return t;
}

Plane Resize(const Plane& in, int width, int height, bool lanczos, double crop_x = 0.0,
             double crop_y = 0.0) {
  const Taps tx = MakeTaps(in.width, width, lanczos, crop_x, crop_x);
  const Taps ty = MakeTaps(in.height, height, lanczos, crop_y, crop_y);
  Plane horizontal(width, in.height);
  for (int y = 0; y < in.height; ++y) {
    const float* row = &in.v[static_cast<std::size_t>(y) * in.width];
    for (int x = 0; x < width; ++x) {
      const float* w = &tx.weights[tx.offset[static_cast<std::size_t>(x)]];
      const float* s = row + tx.first[static_cast<std::size_t>(x)];
      float sum = 0.0f;
      for (int k = 0; k < tx.count[static_cast<std::size_t>(x)]; ++k) sum += w[k] * s[k];
      horizontal.at(x, y) = sum;
    }
  }
  Plane out(width, height);
  for (int y = 0; y < height; ++y) {
    float* o = &out.v[static_cast<std::size_t>(y) * width];
    const float* w = &ty.weights[ty.offset[static_cast<std::size_t>(y)]];
    const int first = ty.first[static_cast<std::size_t>(y)];
    for (int k = 0; k < ty.count[static_cast<std::size_t>(y)]; ++k) {
      const float* s = &horizontal.v[static_cast<std::size_t>(first + k) * width];
      for (int x = 0; x < width; ++x) o[x] += w[k] * s[x];
    }
  }
  return out;
}

Plane Luma(const ImageRecord& picture) {
  Plane y(picture.width(), picture.height());
  for (int r = 0; r < picture.height(); ++r) {
    const std::uint8_t* p = picture.Row<std::uint8_t>(r);
    for (int x = 0; x < picture.width(); ++x, p += 3) {
      y.at(x, r) = 0.114f * p[0] + 0.587f * p[1] + 0.299f * p[2];
    }
  }
  return y;
}

// ---- transform and directions -------------------------------------------------

struct Layer {
  std::vector<double> dct;         // kSide x kSide, row u = basis u
  std::vector<int> band;           // indices u * kSide + v in the mid band
  std::vector<double> directions;  // kCodedBits x band.size(), orthonormal rows
  std::vector<double> dither;      // per coded bit, in [0, step)
  double step = 32.0;
};

Layer MakeLayer(double step) {
  Layer l;
  l.step = step;
  l.dct.resize(kSide * kSide);
  for (int u = 0; u < kSide; ++u) {
    const double a = u == 0 ? std::sqrt(1.0 / kSide) : std::sqrt(2.0 / kSide);
    for (int x = 0; x < kSide; ++x) {
      l.dct[static_cast<std::size_t>(u * kSide + x)] =
          a * std::cos(3.141592653589793 * (x + 0.5) * u / kSide);
    }
  }
  for (int u = 0; u < kSide; ++u) {
    for (int v = 0; v < kSide; ++v) {
      const double r = std::hypot(u, v);
      if (r >= kBandLow && r <= kBandHigh) l.band.push_back(u * kSide + v);
    }
  }
  const std::size_t m = l.band.size();
  Random random{kKey};
  l.directions.resize(kCodedBits * m);
  for (int k = 0; k < kCodedBits; ++k) {  // Gram-Schmidt on keyed Gaussian rows
    double* d = &l.directions[k * m];
    for (std::size_t i = 0; i < m; ++i) d[i] = random.Gaussian();
    for (int pass = 0; pass < 2; ++pass) {
      for (int j = 0; j < k; ++j) {
        const double* e = &l.directions[j * m];
        double dot = 0.0;
        for (std::size_t i = 0; i < m; ++i) dot += d[i] * e[i];
        for (std::size_t i = 0; i < m; ++i) d[i] -= dot * e[i];
      }
    }
    double norm = 0.0;
    for (std::size_t i = 0; i < m; ++i) norm += d[i] * d[i];
    norm = std::sqrt(norm);
    for (std::size_t i = 0; i < m; ++i) d[i] /= norm;
    l.dither.push_back(random.Uniform() * step);
  }
  return l;
}

// out = A * in * B^T style products on kSide squares.
// Only the frequencies up to the band's edge: the rest stay zero.
constexpr int kBandEdge = static_cast<int>(kBandHigh) + 1;
std::vector<double> Forward(const Layer& l, const Plane& canonical) {
  std::vector<double> t(kSide * kSide, 0.0), out(kSide * kSide, 0.0);
  for (int u = 0; u < kBandEdge; ++u)  // t = C * x
    for (int x = 0; x < kSide; ++x) {
      const double c = l.dct[static_cast<std::size_t>(u * kSide + x)];
      for (int y = 0; y < kSide; ++y) t[u * kSide + y] += c * canonical.at(y, x);
    }
  for (int u = 0; u < kBandEdge; ++u)  // out = t * C^T
    for (int v = 0; v < kBandEdge; ++v) {
      double s = 0.0;
      for (int y = 0; y < kSide; ++y) s += t[u * kSide + y] * l.dct[v * kSide + y];
      out[u * kSide + v] = s;
    }
  return out;  // out[u][v]: u vertical frequency, v horizontal
}

Plane Inverse(const Layer& l, const std::vector<double>& coefficients) {
  std::vector<double> t(kSide * kSide, 0.0);
  for (int u = 0; u < kSide; ++u)  // t = X * C
    for (int v = 0; v < kSide; ++v) {
      const double c = coefficients[u * kSide + v];
      if (c == 0.0) continue;
      for (int y = 0; y < kSide; ++y) t[u * kSide + y] += c * l.dct[v * kSide + y];
    }
  Plane out(kSide, kSide);
  for (int x = 0; x < kSide; ++x)  // C^T * t
    for (int u = 0; u < kBandEdge; ++u) {
      const double c = l.dct[static_cast<std::size_t>(u * kSide + x)];
      for (int y = 0; y < kSide; ++y) out.at(y, x) += static_cast<float>(c * t[u * kSide + y]);
    }
  return out;
}

std::vector<double> Project(const Layer& l, const std::vector<double>& coefficients) {
  const std::size_t m = l.band.size();
  std::vector<double> p(kCodedBits, 0.0);
  for (int k = 0; k < kCodedBits; ++k) {
    const double* d = &l.directions[k * m];
    double s = 0.0;
    for (std::size_t i = 0; i < m; ++i)
      s += d[i] * coefficients[static_cast<std::size_t>(l.band[i])];
    p[static_cast<std::size_t>(k)] = s;
  }
  return p;
}

// ---- payload coding -----------------------------------------------------------

std::uint64_t Crc64(const std::vector<int>& bits) {
  std::uint64_t crc = ~0ull;
  for (int b : bits) {
    const bool top = ((crc >> 63) & 1u) != static_cast<std::uint64_t>(b);
    crc <<= 1;
    if (top) crc ^= 0x42F0E1EBA9EA3693ull;
  }
  return ~crc;
}

std::vector<int> WithCheck(const std::vector<int>& signature) {
  std::vector<int> info = signature;
  const std::uint64_t crc = Crc64(signature);
  for (int i = 0; i < kCheckBits; ++i) info.push_back(static_cast<int>((crc >> i) & 1u));
  return info;
}

bool CheckHolds(const std::vector<int>& info) {
  const std::vector<int> sig(info.begin(), info.begin() + kSignatureBits);
  return WithCheck(sig) == info;
}

int Parity(unsigned v) {
  return __builtin_parity(v);
}
constexpr unsigned kG1 = 0171, kG2 = 0133;

std::vector<int> Encode(const std::vector<int>& info) {
  std::vector<int> coded;
  unsigned reg = 0;
  std::vector<int> padded = info;
  padded.insert(padded.end(), kMemory, 0);
  for (int b : padded) {
    reg = ((reg << 1) | static_cast<unsigned>(b)) & 0x7f;
    coded.push_back(Parity(reg & kG1));
    coded.push_back(Parity(reg & kG2));
  }
  return coded;
}

// soft[i] > 0 leans to 1. Zero-terminated trellis.
std::vector<int> Viterbi(const std::vector<double>& soft) {
  const int steps = kInfoBits + kMemory;
  constexpr int kStates = 64;
  std::vector<double> metric(kStates, -1e300), next(kStates);
  metric[0] = 0.0;
  std::vector<std::array<std::uint8_t, kStates>> from(static_cast<std::size_t>(steps));
  for (int t = 0; t < steps; ++t) {
    std::fill(next.begin(), next.end(), -1e300);
    for (int s = 0; s < kStates; ++s) {
      if (metric[s] < -1e299) continue;
      for (int b = 0; b < (t < kInfoBits ? 2 : 1); ++b) {
        const unsigned reg = ((static_cast<unsigned>(s) << 1) | static_cast<unsigned>(b)) & 0x7f;
        const int ns = static_cast<int>(reg & 0x3f);
        const double m = metric[s] + soft[2 * t] * (2 * Parity(reg & kG1) - 1) +
                         soft[2 * t + 1] * (2 * Parity(reg & kG2) - 1);
        if (m > next[ns]) {
          next[ns] = m;
          from[static_cast<std::size_t>(t)][static_cast<std::size_t>(ns)] =
              static_cast<std::uint8_t>(s);
        }
      }
    }
    metric.swap(next);
  }
  std::vector<int> bits(static_cast<std::size_t>(steps));
  int s = 0;
  for (int t = steps - 1; t >= 0; --t) {
    bits[static_cast<std::size_t>(t)] = s & 1;
    s = from[static_cast<std::size_t>(t)][static_cast<std::size_t>(s)];
  }
  bits.resize(kInfoBits);
  return bits;
}

// ---- embedding and reading ----------------------------------------------------

double Coset(double p, double dither, double step, int bit) {
  const double shift = dither + bit * step / 2.0;
  return shift + step * std::round((p - shift) / step);
}

struct Embedded {
  double seconds = 0.0;
};

Embedded Embed(const Layer& l, const std::vector<int>& coded, int passes, ImageRecord& picture) {
  const auto start = Clock::now();
  const Plane luma = Luma(picture);
  Plane canonical = Resize(luma, kSide, kSide, true, InnerOffset(0), InnerOffset(0));
  std::vector<double> change(kSide * kSide, 0.0);  // accumulated DCT change
  const std::size_t m = l.band.size();
  ImageRecord original;
  CopyPicture(original, picture);
  Random random{kKey ^ 0x1234};
  Embedded result;
  for (int pass = 0; pass < passes; ++pass) {
    const std::vector<double> x = Forward(l, canonical);
    const std::vector<double> p = Project(l, x);
    for (int k = 0; k < kCodedBits; ++k) {
      const double e = Coset(p[k], l.dither[k], l.step, coded[k]) - p[k];
      const double* d = &l.directions[k * m];
      for (std::size_t i = 0; i < m; ++i) change[static_cast<std::size_t>(l.band[i])] += e * d[i];
    }
    const Plane small = Inverse(l, change);
    Plane full = Resize(small, picture.width(), picture.height(), false, margin, margin);
    const int x0 = static_cast<int>(std::lround(margin * picture.width()));
    const int y0 = static_cast<int>(std::lround(margin * picture.height()));
    for (int r = 0; r < full.height; ++r)
      for (int xx = 0; xx < full.width; ++xx)
        if (r < y0 || r >= full.height - y0 || xx < x0 || xx >= full.width - x0) full.at(xx, r) = 0;
    for (int r = 0; r < picture.height(); ++r) {
      const std::uint8_t* src = original.Row<std::uint8_t>(r);
      std::uint8_t* dst = picture.Row<std::uint8_t>(r);
      const float* c = &full.v[static_cast<std::size_t>(r) * full.width];
      for (int xx = 0; xx < picture.width(); ++xx) {
        for (int ch = 0; ch < 3; ++ch) {
          const double value = src[3 * xx + ch] + c[xx];
          const double floor = std::floor(value);
          const double rounded = floor + (random.Uniform() < value - floor ? 1.0 : 0.0);
          dst[3 * xx + ch] = static_cast<std::uint8_t>(std::clamp(rounded, 0.0, 255.0));
        }
      }
    }
    // A further pass corrects what enlargement, rounding and clipping left.
    if (pass + 1 < passes) {
      canonical = Resize(Luma(picture), kSide, kSide, true, InnerOffset(0), InnerOffset(0));
    }
  }
  result.seconds = Seconds(start);
  return result;
}

// The eight right-angle orientations act on the DCT directly: a mirror
// negates the odd frequencies of its axis, a transpose swaps the axes.
std::vector<double> Orient(const std::vector<double>& in, int orientation) {
  std::vector<double> out(kSide * kSide, 0.0);
  for (int u = 0; u < kBandEdge; ++u)
    for (int v = 0; v < kBandEdge; ++v) {
      double c = (orientation & 4) ? in[v * kSide + u] : in[u * kSide + v];
      if ((orientation & 1) && (v & 1)) c = -c;
      if ((orientation & 2) && (u & 1)) c = -c;
      out[u * kSide + v] = c;
    }
  return out;
}

struct Reading {
  bool found = false;
  std::vector<int> signature;
  int hypotheses = 0;     // crop hypotheses x orientations tried
  int coded_errors = -1;  // against the expected code word, best hypothesis
  double seconds = 0.0;
};

// Crop hypotheses: the fraction of the signed picture missing at each side,
// the same on both sides of an axis, each axis on its own (0 .. `largest`
// in steps of `grain`), fewest missing first.
std::vector<std::pair<double, double>> CropHypotheses(double largest, double grain) {
  std::vector<std::pair<double, double>> list;
  const int n = static_cast<int>(std::round(largest / grain));
  for (int i = 0; i <= n; ++i)
    for (int j = 0; j <= n; ++j) list.emplace_back(i * grain, j * grain);
  std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
    return a.first + a.second < b.first + b.second;
  });
  return list;
}

Reading Read(const Layer& l, const ImageRecord& picture, const std::vector<int>* expected,
             const std::vector<std::pair<double, double>>& crops) {
  const auto start = Clock::now();
  Plane luma = Luma(picture);
  // Many hypotheses resample a picture reduced once to 4 x the canonical size.
  constexpr int kSearchSide = 4 * kSide;
  if (crops.size() > 1 && (luma.width > kSearchSide || luma.height > kSearchSide)) {
    luma =
        Resize(luma, std::min(luma.width, kSearchSide), std::min(luma.height, kSearchSide), true);
  }
  Reading reading;
  for (const auto& [crop_x, crop_y] : crops) {
    const std::vector<double> coefficients =
        Forward(l, Resize(luma, kSide, kSide, true, InnerOffset(crop_x), InnerOffset(crop_y)));
    for (int o = 0; o < 8; ++o) {
      ++reading.hypotheses;
      const std::vector<double> p = Project(l, Orient(coefficients, o));
      std::vector<double> soft(kCodedBits);
      int errors = 0;
      for (int k = 0; k < kCodedBits; ++k) {
        const double d0 = std::fabs(p[k] - Coset(p[k], l.dither[k], l.step, 0));
        const double d1 = std::fabs(p[k] - Coset(p[k], l.dither[k], l.step, 1));
        soft[k] = (d0 - d1) / (l.step / 2.0);
        if (expected && (soft[k] > 0) != ((*expected)[k] == 1)) ++errors;
      }
      if (expected && (reading.coded_errors < 0 || errors < reading.coded_errors)) {
        reading.coded_errors = errors;
      }
      const std::vector<int> info = Viterbi(soft);
      if (CheckHolds(info)) {
        reading.found = true;
        reading.signature.assign(info.begin(), info.begin() + kSignatureBits);
        reading.seconds = Seconds(start);
        return reading;
      }
    }
  }
  reading.seconds = Seconds(start);
  return reading;
}

// ---- publishing -----------------------------------------------------------------

bool WriteBmp(const ImageRecord& picture, const std::filesystem::path& file) {
  FIBITMAP* bitmap = FreeImage_ConvertFromRawBits(
      const_cast<BYTE*>(picture.data()), picture.width(), picture.height(), picture.stride(), 24,
      FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, TRUE);
  if (!bitmap) return false;
  const bool ok = FreeImage_Save(FIF_BMP, bitmap, file.c_str(), 0) != 0;
  FreeImage_Unload(bitmap);
  return ok;
}

struct Pipeline {
  std::string name;
  std::string arguments;
};

const std::vector<Pipeline>& Pipelines() {
  static const std::vector<Pipeline> list = {
      {"1080 px + JPEG 80", "-resize 1080x1080 -quality 80"},
      {"1080 px + JPEG 70", "-resize 1080x1080 -quality 70"},
      {"720 px + JPEG 60", "-resize 720x720 -quality 60"},
      {"512 px + JPEG 50", "-resize 512x512 -quality 50"},
      {"rotate 90, 1080 px + JPEG 80", "-rotate 90 -resize 1080x1080 -quality 80"},
      {"2 % border crop, 1080 px + JPEG 80",
       "-gravity center -crop 96%x96%+0+0 +repage -resize 1080x1080 -quality 80"},
      {"1080 px, unsharp 0x1, JPEG 80", "-resize 1080x1080 -unsharp 0x1 -quality 80"},
  };
  return list;
}

bool Publish(const std::filesystem::path& in, const Pipeline& pipeline,
             const std::filesystem::path& out) {
  const std::string command =
      "convert '" + in.string() + "' " + pipeline.arguments + " '" + out.string() + "'";
  return std::system(command.c_str()) == 0;
}

int Run(int argc, char** argv) {
  const std::string photo_count = TakeFlag(argc, argv, "photos", "8");
  const double step = std::stod(TakeFlag(argc, argv, "step", "32"));
  const int passes = std::stoi(TakeFlag(argc, argv, "passes", "1"));
  const std::string out_file = TakeFlag(argc, argv, "out", "");
  // Crop search: largest fraction missing per side and the grid's grain.
  const double crop_largest = std::stod(TakeFlag(argc, argv, "crop", "0"));
  const double crop_grain = std::stod(TakeFlag(argc, argv, "grain", "0.005"));
  margin = std::stod(TakeFlag(argc, argv, "margin", "0"));
  const std::vector<std::pair<double, double>> no_crop = {{0.0, 0.0}};
  const auto crops = crop_largest > 0 ? CropHypotheses(crop_largest, crop_grain) : no_crop;
  int max_hypotheses = 0;
  double max_read = 0.0, unsigned_read_seconds = 0.0;
  if (argc < 2) {
    std::cerr << "usage: web_layer_spike PHOTO_FOLDER [--photos N] [--step S] [--passes P]\n";
    return 2;
  }
  FreeImage_Initialise(FALSE);
  // The largest colour JPEGs of the folder.
  std::vector<std::pair<std::uintmax_t, std::filesystem::path>> jpegs;
  for (const auto& file : PicturesIn(argv[1])) {
    if (file.extension() == ".jpg") jpegs.emplace_back(std::filesystem::file_size(file), file);
  }
  std::sort(jpegs.rbegin(), jpegs.rend());
  jpegs.resize(std::min(jpegs.size(), static_cast<std::size_t>(std::stoi(photo_count))));

  const Layer layer = MakeLayer(step);
  const auto work =
      std::filesystem::temp_directory_path() / ("web_spike_" + std::to_string(getpid()));
  std::filesystem::create_directories(work);
  std::ostringstream report;
  report << "margin " << margin << ", crop search up to " << crop_largest << " per side, step "
         << step << ", passes " << passes << ", band " << layer.band.size() << " coefficients, "
         << kCodedBits << " coded bits\n\n";
  report << "| photo | size | PSNR dB | embed s | read s | max coded err (no attack) |";
  for (const auto& p : Pipelines()) report << " " << p.name << " |";
  report << " unsigned |\n|---|---|---|---|---|---|";
  for (std::size_t i = 0; i <= Pipelines().size(); ++i) report << "---|";
  report << "\n";
  std::vector<int> decoded(Pipelines().size(), 0);
  int false_positives = 0, unsigned_reads = 0;
  for (std::size_t index = 0; index < jpegs.size(); ++index) {
    const auto& file = jpegs[index].second;
    ImageRecord original, signed_picture;
    if (!LoadColour(file, original)) continue;
    CopyPicture(signed_picture, original);
    Random r{kKey + index};
    std::vector<int> signature(kSignatureBits);
    for (int& b : signature) b = static_cast<int>(r.Next() & 1u);
    const std::vector<int> coded = Encode(WithCheck(signature));
    const Embedded embedded = Embed(layer, coded, passes, signed_picture);
    const double psnr = Psnr(original, signed_picture, -1);
    const Reading direct = Read(layer, signed_picture, &coded, no_crop);
    report << "| " << file.filename().string() << " | " << original.width() << "x"
           << original.height() << " | " << std::fixed;
    report.precision(2);
    report << psnr << " | " << embedded.seconds << " | " << direct.seconds << " | "
           << direct.coded_errors
           << (direct.found && direct.signature == signature ? " ok" : " FAIL") << " |";
    const auto signed_file = work / "signed.bmp";
    const auto plain_file = work / "plain.bmp";
    WriteBmp(signed_picture, signed_file);
    WriteBmp(original, plain_file);
    for (std::size_t k = 0; k < Pipelines().size(); ++k) {
      const auto published = work / "published.jpg";
      ImageRecord attacked;
      if (!Publish(signed_file, Pipelines()[k], published) || !LoadColour(published, attacked)) {
        report << " error |";
        continue;
      }
      const Reading reading = Read(layer, attacked, &coded, crops);
      max_hypotheses = std::max(max_hypotheses, reading.hypotheses);
      max_read = std::max(max_read, reading.seconds);
      const bool ok = reading.found && reading.signature == signature;
      decoded[k] += ok ? 1 : 0;
      report << " " << (ok ? "ok" : (reading.found ? "WRONG" : "no")) << " "
             << (100.0 * reading.coded_errors / kCodedBits) << "% |";
      // The unsigned photograph through the same pipeline.
      ImageRecord plain;
      if (Publish(plain_file, Pipelines()[k], published) && LoadColour(published, plain)) {
        ++unsigned_reads;
        const Reading r2 = Read(layer, plain, nullptr, crops);
        max_hypotheses = std::max(max_hypotheses, r2.hypotheses);
        max_read = std::max(max_read, r2.seconds);
        if (r2.found) ++false_positives;
      }
    }
    ++unsigned_reads;
    const Reading r3 = Read(layer, original, nullptr, crops);
    const bool fp = r3.found;
    unsigned_read_seconds = std::max(unsigned_read_seconds, r3.seconds);
    false_positives += fp ? 1 : 0;
    report << " " << (fp ? "FALSE POSITIVE" : "none") << " |\n";
    std::cerr << file.filename().string() << " done\n";
  }
  report << "| decoded | | | | | |";
  for (int d : decoded) report << " " << d << "/" << jpegs.size() << " |";
  report << " " << false_positives << " of " << unsigned_reads << " unsigned reads |\n";
  report << "\nhypotheses per read at most " << max_hypotheses << " (" << crops.size()
         << " crops x 8 orientations); slowest published read " << max_read
         << " s; slowest full unsigned read (original size) " << unsigned_read_seconds << " s\n";
  std::filesystem::remove_all(work);
  std::cout << report.str();
  if (!out_file.empty()) std::ofstream(out_file) << report.str();
  FreeImage_DeInitialise();
  return 0;
}

}  // namespace
}  // namespace pmk::bench

int main(int argc, char** argv) {
  return pmk::bench::Run(argc, argv);
}
