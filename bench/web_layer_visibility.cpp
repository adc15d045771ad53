// How visible the web layer is where it shows most: in the flattest part of
// a photograph. Signs the picture as `PMKCmd -web` does (the mark, then the
// web layer, fixed seed), finds the flattest square inside the area the layer
// changes at full strength, and writes three PNG crops of it enlarged to
// 200 % (each pixel shown as 2 x 2): before, after, the whole difference
// amplified 20 times around mid grey, and the web layer's part of it alone
// (against the picture signed without -web) amplified the same.
//
//   web_layer_visibility PICTURE OUT_FOLDER [--size=128]
//
// Writes OUT_FOLDER/web_before.png, web_after.png, web_difference_x20.png and
// web_layer_alone_x20.png, and prints where the crop lies and how much it changed.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>

#include "bench/bench_pictures.h"
#include "engine/engine.h"
#include "image/image_files.h"

namespace pmk::bench {
namespace {

double Luma(const std::uint8_t* pixel) {
  return 0.114 * pixel[0] + 0.587 * pixel[1] + 0.299 * pixel[2];
}

// Detail of a square: the mean absolute luma step to the right and down
// neighbours. Unlike a deviation it leaves smooth gradients (sky) flat.
// Squares with a clipped sample (0 or 255) count as detailed: burnt-out sky
// is flat only because nothing can change there.
double Detail(const ImageRecord& picture, int left, int top, int size) {
  double sum = 0.0;
  for (int y = top; y < top + size; ++y) {
    const std::uint8_t* row = picture.Row<std::uint8_t>(y);
    const std::uint8_t* below = picture.Row<std::uint8_t>(y + 1);
    for (int x = left; x < left + size; ++x) {
      const std::uint8_t* pixel = row + 3 * x;
      if (std::any_of(pixel, pixel + 3, [](std::uint8_t v) { return v == 0 || v == 255; })) {
        return std::numeric_limits<double>::infinity();
      }
      const double here = Luma(row + 3 * x);
      sum += std::fabs(Luma(row + 3 * (x + 1)) - here) + std::fabs(Luma(below + 3 * x) - here);
    }
  }
  return sum / (static_cast<double>(size) * size);
}

// The square's pixels, each repeated 2 x 2; `amplify` > 0 writes
// 128 + amplify * (picture - reference) instead.
bool WriteCrop(const ImageRecord& picture, const ImageRecord* reference, double amplify, int left,
               int top, int size, const std::filesystem::path& file) {
  ImageRecord crop;
  if (crop.Allocate(2 * size, 2 * size, 3, 8) != kResultOk) return false;
  for (int y = 0; y < 2 * size; ++y) {
    const std::uint8_t* source = picture.Row<std::uint8_t>(top + y / 2);
    const std::uint8_t* base = reference ? reference->Row<std::uint8_t>(top + y / 2) : nullptr;
    std::uint8_t* out = crop.Row<std::uint8_t>(y);
    for (int x = 0; x < 2 * size; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int i = 3 * (left + x / 2) + c;
        const double value = base ? 128.0 + amplify * (source[i] - base[i]) : source[i];
        out[3 * x + c] = static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
      }
    }
  }
  try {
    return SaveImage(crop, ImageRecord{}, file, {}, 0);
  } catch (const std::exception&) {
    return false;
  }
}

int Run(int argc, char** argv) {
  const int size = std::stoi(TakeFlag(argc, argv, "size", "128"));
  if (argc < 3) {
    std::fputs("usage: web_layer_visibility PICTURE OUT_FOLDER [--size=128]\n", stderr);
    return 2;
  }
  ImageRecord original;
  if (!LoadColour(argv[1], original)) {
    std::fprintf(stderr, "cannot read %s as 8-bit colour\n", argv[1]);
    return 1;
  }
  ImageRecord mark_only;
  ImageRecord after;
  CopyPicture(mark_only, original);
  const EngineControl control{.threads = 2};
  EmbedOptions options;
  options.use_fixed_seed = true;
  options.fixed_seed = 20260611;
  const PayloadText payload = FormatPayload("visible-32");
  if (EmbedSignature(mark_only, payload, control, options, nullptr) != ResultCode::kOk ||
      !CopyPicture(after, mark_only) ||
      EmbedWebLayer(after, payload, control, options) != ResultCode::kOk) {
    std::fputs("signing failed\n", stderr);
    return 1;
  }

  // The layer lives 6 % in from every side and fades in over about 3.5 %
  // more; only squares inside 10 % show it at full strength.
  const int margin_x = original.width() / 10;
  const int margin_y = original.height() / 10;
  int best_left = -1, best_top = -1;
  double flattest = std::numeric_limits<double>::infinity();
  for (int top = margin_y; top + size + 1 <= original.height() - margin_y; top += 8) {
    for (int left = margin_x; left + size + 1 <= original.width() - margin_x; left += 8) {
      const double detail = Detail(original, left, top, size);
      if (detail < flattest) {
        flattest = detail;
        best_left = left;
        best_top = top;
      }
    }
  }
  if (best_left < 0) {
    std::fputs("no square without clipped samples fits inside the layer\n", stderr);
    return 1;
  }

  // RMS and largest change in the square against `reference`.
  const auto change = [&](const ImageRecord& reference, int& largest) {
    double squares = 0.0;
    largest = 0;
    for (int y = best_top; y < best_top + size; ++y) {
      for (int i = 3 * best_left; i < 3 * (best_left + size); ++i) {
        const int d = after.Row<std::uint8_t>(y)[i] - reference.Row<std::uint8_t>(y)[i];
        squares += d * d;
        largest = std::max(largest, std::abs(d));
      }
    }
    return std::sqrt(squares / (3.0 * size * size));
  };
  int largest = 0;
  int largest_layer = 0;
  const double rms = change(original, largest);
  const double rms_layer = change(mark_only, largest_layer);
  const std::filesystem::path folder = argv[2];
  std::filesystem::create_directories(folder);
  const bool written =
      WriteCrop(original, nullptr, 0, best_left, best_top, size, folder / "web_before.png") &&
      WriteCrop(after, nullptr, 0, best_left, best_top, size, folder / "web_after.png") &&
      WriteCrop(after, &original, 20, best_left, best_top, size,
                folder / "web_difference_x20.png") &&
      WriteCrop(after, &mark_only, 20, best_left, best_top, size,
                folder / "web_layer_alone_x20.png");
  std::printf(
      "%dx%d picture, PSNR of the signing %.2f dB; flattest %dx%d square at (%d, %d), detail "
      "%.2f; in it: RMS change %.2f levels, largest %d; the web layer's part RMS %.2f, largest "
      "%d\n",
      original.width(), original.height(), Psnr(original, after, -1), size, size, best_left,
      best_top, flattest, rms, largest, rms_layer, largest_layer);
  return written ? 0 : 1;
}

}  // namespace
}  // namespace pmk::bench

int main(int argc, char** argv) {
  return pmk::bench::Run(argc, argv);
}
