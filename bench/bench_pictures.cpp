#include "bench/bench_pictures.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>

#include "image/freeimage_session.h"
#include "image/image_files.h"

namespace pmk::bench {
namespace {

struct BitmapDeleter {
  void operator()(FIBITMAP* bitmap) const {
    if (bitmap != nullptr) FreeImage_Unload(bitmap);
  }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// FreeImage keeps 24-bit pixels blue, green, red like the record, but rows
// bottom-up with a padded pitch.
Bitmap ToBitmap(const ImageRecord& picture) {
  EnsureFreeImageReady();
  Bitmap bitmap(FreeImage_Allocate(picture.width(), picture.height(), 24));
  if (!bitmap) return bitmap;
  for (std::int32_t y = 0; y < picture.height(); ++y) {
    std::memcpy(FreeImage_GetScanLine(bitmap.get(), picture.height() - 1 - y),
                picture.Row<std::uint8_t>(y), static_cast<std::size_t>(picture.stride()));
  }
  return bitmap;
}

bool FromBitmap(FIBITMAP* bitmap, ImageRecord& picture) {
  if (bitmap == nullptr || FreeImage_GetBPP(bitmap) != 24) return false;
  const auto width = static_cast<std::int32_t>(FreeImage_GetWidth(bitmap));
  const auto height = static_cast<std::int32_t>(FreeImage_GetHeight(bitmap));
  if (picture.Allocate(width, height, 3, 8) != kResultOk) return false;
  for (std::int32_t y = 0; y < height; ++y) {
    std::memcpy(picture.Row<std::uint8_t>(y), FreeImage_GetScanLine(bitmap, height - 1 - y),
                static_cast<std::size_t>(picture.stride()));
  }
  return true;
}

// Pastes `tile` into `picture` with its top-left corner at (x, y).
void Paste(ImageRecord& picture, const ImageRecord& tile, std::int32_t x, std::int32_t y) {
  for (std::int32_t row = 0; row < tile.height(); ++row) {
    std::memcpy(picture.Row<std::uint8_t>(y + row) + 3 * static_cast<std::ptrdiff_t>(x),
                tile.Row<std::uint8_t>(row), static_cast<std::size_t>(tile.stride()));
  }
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::filesystem::path TestDataFolder() {
  return std::filesystem::path(PMK_SOURCE_DIR) / "tests" / "data";
}

std::string TakeFlag(int& argc, char** argv, const std::string& name, const std::string& fallback) {
  const std::string prefix = "--" + name + "=";
  std::string value = fallback;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind(prefix, 0) == 0) {
      value = argument.substr(prefix.size());
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  argv[argc] = nullptr;
  return value;
}

bool LoadColour(const std::filesystem::path& file, ImageRecord& picture) {
  ImageRecord alpha;
  if (!LoadImage(file, picture, alpha)) return false;
  ConvertTo8BitColour(picture);
  return picture.HasData() && picture.channels() == 3 && picture.bits() == 8;
}

std::vector<std::filesystem::path> PicturesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> pictures;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string extension = Lower(entry.path().extension().string());
    if (extension == ".png" || extension == ".jpg" || extension == ".jpeg" || extension == ".tif" ||
        extension == ".tiff" || extension == ".bmp") {
      pictures.push_back(entry.path());
    }
  }
  std::sort(pictures.begin(), pictures.end());
  return pictures;
}

bool CopyPicture(ImageRecord& destination, const ImageRecord& source) {
  if (destination.Allocate(source.width(), source.height(), source.channels(), source.bits()) !=
      kResultOk) {
    return false;
  }
  std::memcpy(destination.data(), source.data(), static_cast<std::size_t>(source.size()));
  return true;
}

bool Rescale(const ImageRecord& picture, std::int32_t width, std::int32_t height,
             FREE_IMAGE_FILTER filter, ImageRecord& out) {
  const Bitmap source = ToBitmap(picture);
  if (!source) return false;
  const Bitmap rescaled(FreeImage_Rescale(source.get(), width, height, filter));
  return FromBitmap(rescaled.get(), out);
}

bool JpegRoundTrip(const ImageRecord& picture, int quality, ImageRecord& out) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("pmk_bench_" + std::to_string(::getpid()) + "_q" + std::to_string(quality) + ".jpg");
  bool ok = false;
  try {
    ok = SaveImage(picture, ImageRecord{}, file, {}, quality) && LoadColour(file, out);
  } catch (const std::exception&) {
    ok = false;
  }
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  return ok;
}

const std::vector<Pipeline>& PublishingPipelines() {
  static const std::vector<Pipeline> pipelines = {
      {"1080 q80", "-resize 1080x1080 -quality 80", false},
      {"1080 q70", "-resize 1080x1080 -quality 70", false},
      {"720 q60", "-resize 720x720 -quality 60", false},
      {"512 q50", "-resize 512x512 -quality 50", true},
      {"2% crop, 1080 q80",
       "-gravity center -crop 96%x96%+0+0 +repage -resize 1080x1080 -quality 80", true},
      {"5% crop, 1080 q80",
       "-gravity center -crop 90%x90%+0+0 +repage -resize 1080x1080 -quality 80", false},
      {"1080, unsharp 0x1, q80", "-resize 1080x1080 -unsharp 0x1 -quality 80", true},
      {"contrast +10%, 1080 q80", "-brightness-contrast 0x10 -resize 1080x1080 -quality 80", false},
      {"contrast -10%, 1080 q80", "-brightness-contrast 0x-10 -resize 1080x1080 -quality 80",
       false},
      {"gain 1.1 clipped, 1080 q80", "-function polynomial 1.1,-0.05 -resize 1080x1080 -quality 80",
       true},
      {"rot 90, 1080 q80", "-rotate 90 -resize 1080x1080 -quality 80", false},
      {"flop, 1080 q80", "-flop -resize 1080x1080 -quality 80", false},
  };
  return pipelines;
}

bool WriteBmp(const ImageRecord& picture, const std::filesystem::path& file) {
  const Bitmap bitmap = ToBitmap(picture);
  return bitmap && FreeImage_Save(FIF_BMP, bitmap.get(), file.c_str(), 0) != 0;
}

bool Publish(const std::filesystem::path& in, const Pipeline& pipeline,
             const std::filesystem::path& out) {
  const std::string command =
      "convert '" + in.string() + "' " + pipeline.arguments + " '" + out.string() + "' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

bool PublishPicture(const ImageRecord& picture, const Pipeline& pipeline, ImageRecord& out) {
  const std::filesystem::path stem =
      std::filesystem::temp_directory_path() / ("pmk_bench_" + std::to_string(::getpid()));
  const std::filesystem::path in = stem.string() + "_in.bmp";
  const std::filesystem::path published = stem.string() + "_out.jpg";
  const bool ok =
      WriteBmp(picture, in) && Publish(in, pipeline, published) && LoadColour(published, out);
  std::error_code ignored;
  std::filesystem::remove(in, ignored);
  std::filesystem::remove(published, ignored);
  return ok;
}

bool MakePhotoLike(double megapixels, const std::filesystem::path& photos, ImageRecord& out,
                   std::string& description) {
  const double pixels = megapixels * 1e6;
  if (!photos.empty()) {
    // The photograph nearest in pixel count.
    std::filesystem::path best;
    double best_distance = std::numeric_limits<double>::infinity();
    ImageRecord chosen;
    for (const auto& file : PicturesIn(photos)) {
      ImageRecord candidate;
      if (!LoadColour(file, candidate)) continue;
      const double area = static_cast<double>(candidate.width()) * candidate.height();
      const double distance = std::fabs(std::log(area / pixels));
      if (distance < best_distance) {
        best_distance = distance;
        best = file;
        chosen = std::move(candidate);
      }
    }
    if (!chosen.HasData()) return false;
    const double area = static_cast<double>(chosen.width()) * chosen.height();
    description = best.filename().string();
    if (std::fabs(area / pixels - 1.0) <= 0.05) {
      out = std::move(chosen);
      return true;
    }
    const double factor = std::sqrt(pixels / area);
    description += " rescaled";
    return Rescale(chosen, static_cast<std::int32_t>(chosen.width() * factor),
                   static_cast<std::int32_t>(chosen.height() * factor), FILTER_BICUBIC, out);
  }

  // A 2 x 2 mosaic: each quarter one committed photograph, so the picture has
  // the structure of photographs (and seams between them, as collages do).
  const auto width = static_cast<std::int32_t>(std::sqrt(pixels * 4.0 / 3.0));
  const auto height = static_cast<std::int32_t>(pixels / width);
  const char* names[] = {"kodim13.png", "kodim23.png", "rocket_adobergb.jpg", "tulips_rgba.png"};
  if (out.Allocate(width, height, 3, 8) != kResultOk) return false;
  const std::int32_t half_width = width / 2;
  const std::int32_t half_height = height / 2;
  for (int i = 0; i < 4; ++i) {
    ImageRecord photo;
    if (!LoadColour(TestDataFolder() / names[i], photo)) return false;
    const std::int32_t x = (i % 2) * half_width;
    const std::int32_t y = (i / 2) * half_height;
    ImageRecord tile;
    if (!Rescale(photo, i % 2 == 0 ? half_width : width - half_width,
                 i / 2 == 0 ? half_height : height - half_height, FILTER_BICUBIC, tile)) {
      return false;
    }
    Paste(out, tile, x, y);
  }
  description = "mosaic of kodim13, kodim23, rocket, tulips";
  return true;
}

void ResetPeakMemory() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

namespace {

// A "Vm...:" line of /proc/self/status in MiB, or a negative number.
double StatusMiB(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size())) / 1024.0;
  }
  return -1.0;
}

}  // namespace

double CurrentMemoryMiB() {
  return StatusMiB("VmRSS:");
}

double PeakMemoryMiB() {
  const double peak = StatusMiB("VmHWM:");
  if (peak >= 0.0) return peak;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

double Psnr(const ImageRecord& a, const ImageRecord& b, int channel) {
  double squares = 0.0;
  std::int64_t samples = 0;
  for (std::int32_t y = 0; y < a.height(); ++y) {
    const std::uint8_t* p = a.Row<std::uint8_t>(y);
    const std::uint8_t* q = b.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < a.width(); ++x) {
      for (int c = 0; c < 3; ++c) {
        if (channel >= 0 && c != channel) continue;
        const double d = static_cast<double>(p[3 * x + c]) - q[3 * x + c];
        squares += d * d;
        ++samples;
      }
    }
  }
  if (squares == 0.0) return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(255.0 * 255.0 / (squares / static_cast<double>(samples)));
}

int LargestChange(const ImageRecord& a, const ImageRecord& b) {
  int largest = 0;
  for (std::int32_t y = 0; y < a.height(); ++y) {
    const std::uint8_t* p = a.Row<std::uint8_t>(y);
    const std::uint8_t* q = b.Row<std::uint8_t>(y);
    for (std::int32_t i = 0; i < 3 * a.width(); ++i)
      largest = std::max(largest, std::abs(p[i] - q[i]));
  }
  return largest;
}

}  // namespace pmk::bench
