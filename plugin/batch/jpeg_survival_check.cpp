#include "plugin/batch/jpeg_survival_check.h"

#include <cstring>

#include "image/image_files.h"
#include "image/plugin_image_files.h"
#include "platform/folder_search.h"
#include "plugin/batch/jpeg_check_detect.h"

namespace pmk {

namespace {

constexpr unsigned kPrivateFolderMode = 0700;

bool IsEightBitColour(const ImageRecord& picture) {
  return picture.HasData() && picture.bits() == 8 &&
         (picture.channels() == 3 || picture.channels() == 4);
}

// The blue, green and red samples of a four-channel picture.
std::uint8_t DropAlpha(const ImageRecord& picture, ImageRecord& colour) noexcept {
  if (colour.Allocate(picture.width(), picture.height(), 3, 8) != kResultOk) return kResultNoMemory;
  for (std::int32_t y = 0; y < picture.height(); ++y) {
    const std::uint8_t* from = picture.Row<std::uint8_t>(y);
    std::uint8_t* to = colour.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < picture.width(); ++x, from += 4, to += 3) {
      std::memcpy(to, from, 3);
    }
  }
  return kResultOk;
}

}  // namespace

std::filesystem::path JpegCheckWorkFolder(const std::filesystem::path& cache_folder) {
  return cache_folder / "Pictomarker" / "temp";
}

bool MakeJpegCheckWorkFolder(const std::filesystem::path& work_folder) noexcept {
  try {
    std::filesystem::path level;
    for (const std::filesystem::path& part : work_folder) {
      level /= part;
      if (!platform::EnsureFolder(level, kPrivateFolderMode)) return false;
    }
    return !work_folder.empty();
  } catch (...) {
    return false;
  }
}

std::uint8_t CheckJpegSurvival(const ImageRecord& picture, int quality,
                               const std::filesystem::path& work_folder,
                               std::uint8_t threads) noexcept {
  if (!MakeJpegCheckWorkFolder(work_folder)) return kJpegCheckNoWorkFiles;
  // A picture that cannot be written must not be judged by whatever an
  // earlier check left in test.jpg.
  if (!IsEightBitColour(picture)) return kResultRefused;
  try {
    const std::filesystem::path test_file = work_folder / "test.jpg";
    ImageRecord colour;
    if (picture.channels() == 4 && DropAlpha(picture, colour) != kResultOk) {
      return kResultNoMemory;
    }
    const ImageRecord& written = picture.channels() == 4 ? colour : picture;
    if (!SavePluginImage(written, test_file, PluginFileFormat::kJpeg, {}, quality)) {
      return kJpegCheckNoWorkFiles;
    }
    colour.Release();
    // Read back with the accurate DCT, as PMKCmd verifies what it writes and
    // as any careful decoder reads the file: the plug-in's own reader takes the
    // fast integer DCT, whose rounding alone wipes the mark out at scale 1.0
    // even at quality 100, so every check would read "undetectable".
    ImageRecord loaded;
    ImageRecord no_alpha;
    if (!LoadImage(test_file, loaded, no_alpha)) return kJpegCheckNoWorkFiles;
    return DetectAtOriginalScale(loaded, threads);
  } catch (...) {
    // The writer refuses with an exception; the user sees "undetectable".
    return kJpegCheckNoWorkFiles;
  }
}

std::uint8_t SaveLosslessCopy(const ImageRecord& picture,
                              const std::filesystem::path& work_folder) noexcept {
  if (!MakeJpegCheckWorkFolder(work_folder)) return kJpegCheckNoWorkFiles;
  if (!IsEightBitColour(picture)) return kResultOk;
  try {
    return SavePluginImage(picture, work_folder / "orig.tif", PluginFileFormat::kTiff, {}, 0)
               ? kResultOk
               : kJpegCheckNoWorkFiles;
  } catch (...) {
    return kJpegCheckNoWorkFiles;
  }
}

}  // namespace pmk
