// Both picture readers on arbitrary bytes. The bytes are written to a file
// under every extension the system knows and one it does not, since the
// reader falls back on the name when the content says nothing.
#include <FreeImage.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"
#include "image/image_files.h"
#include "image/image_record.h"
#include "image/plugin_image_files.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

const std::filesystem::path& WorkFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "pmk-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(WorkFolder(), ignored);
    });
    return std::filesystem::path(pattern);
  }();
  return folder;
}

bool WriteFile(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size) {
  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, out) == size;
  return std::fclose(out) == 0 && written;
}

void CheckLoadedRecord(const pmk::ImageRecord& colour, const pmk::ImageRecord& alpha) {
  Require(colour.HasData());
  Require(colour.channels() == 1 || colour.channels() == 3);
  Require(colour.bits() == 8 || colour.bits() == 16);
  Require(static_cast<long long>(colour.width()) * colour.height() <= pmk::kMaxLoadPixels);
  Require(static_cast<long long>(colour.stride()) * colour.height() == colour.size());
  if (alpha.HasData()) {
    Require(alpha.channels() == 1 && alpha.width() == colour.width() &&
            alpha.height() == colour.height());
  }
}

void ReadWithCommandLineReader(const std::filesystem::path& file) {
  pmk::ImageRecord colour;
  pmk::ImageRecord alpha;
  if (!pmk::LoadImage(file, colour, alpha)) {
    Require(!colour.HasData() && !alpha.HasData());
    return;
  }
  CheckLoadedRecord(colour, alpha);
  // What a run does next with every picture it loads.
  pmk::ConvertTo8BitColour(colour);
  if (alpha.HasData() && alpha.bits() != 8) pmk::ConvertTo8BitChannels(alpha, 1);
}

void ReadWithPluginReader(const std::filesystem::path& file) {
  pmk::ImageRecord picture;
  try {
    pmk::LoadPluginImage(file, picture);
    Require(picture.HasData() && picture.bits() == 8);
    Require(picture.channels() == 3 || picture.channels() == 4);
  } catch (const pmk::UnsupportedImageFormat&) {
    Require(!picture.HasData());
  } catch (const pmk::ImageReadError&) {
    Require(!picture.HasData());
  } catch (const pmk::FreeImageOperationFailure&) {
    Require(!picture.HasData());
  }
}

// Pictures the readers accept by design (up to kMaxLoadPixels) can take a
// second and gigabytes to decode when their header claims hundreds of millions
// of pixels, which a 55-byte BMP can do. They say nothing about robustness and
// would only time out, so inputs that claim more than this under any of the
// readable formats are left out; claims above the limit are kept, since
// refusing them is the readers' own job.
constexpr long long kLargestFuzzedPixels = 16'000'000;

// The headers are read as the readers read them, without metadata blocks:
// FreeImage's own metadata readers are never run on untrusted bytes.
bool ClaimsCostlyAllowedSize(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  bool costly = false;
  for (const FREE_IMAGE_FORMAT format : {FIF_BMP, FIF_JPEG, FIF_PNG, FIF_TIFF}) {
    const pmk::BitmapHandle header = pmk::DecodeWithoutMetadata(format, bytes, FIF_LOAD_NOPIXELS);
    if (header == nullptr) continue;
    const long long pixels = static_cast<long long>(FreeImage_GetWidth(header.get())) *
                             FreeImage_GetHeight(header.get());
    if (pixels > kLargestFuzzedPixels && pixels <= pmk::kMaxLoadPixels) costly = true;
  }
  return costly;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pmk::EnsureFreeImageReady();
  if (ClaimsCostlyAllowedSize(data, size)) return 0;
  static constexpr std::array<const char*, 5> kExtensions = {".bmp", ".jpg", ".png", ".tif",
                                                             ".xyz"};
  for (const char* extension : kExtensions) {
    const std::filesystem::path file = WorkFolder() / (std::string("input") + extension);
    if (!WriteFile(file, data, size)) std::abort();
    ReadWithCommandLineReader(file);
    ReadWithPluginReader(file);
    std::filesystem::remove(file);
  }
  return 0;
}
