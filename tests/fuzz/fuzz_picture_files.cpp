#include "tests/fuzz/fuzz_picture_files.h"

#include <FreeImage.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/freeimage_bitmap.h"
#include "image/image_files.h"

namespace pmk::fuzz {
namespace {

constexpr long long kLargestFuzzedPixels = 16'000'000;

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

}  // namespace

void Require(bool condition) {
  if (!condition) std::abort();
}

std::filesystem::path WriteInput(const std::uint8_t* data, std::size_t size,
                                 const char* extension) {
  const std::filesystem::path file = WorkFolder() / (std::string("input") + extension);
  std::FILE* out = std::fopen(file.c_str(), "wb");
  Require(out != nullptr);
  const bool written = std::fwrite(data, 1, size, out) == size;
  Require(std::fclose(out) == 0 && written);
  return file;
}

bool ClaimsCostlyAllowedSize(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  for (const FREE_IMAGE_FORMAT format : {FIF_BMP, FIF_JPEG, FIF_PNG, FIF_TIFF}) {
    const BitmapHandle header = DecodeWithoutMetadata(format, bytes, FIF_LOAD_NOPIXELS);
    if (header == nullptr) continue;
    const long long pixels = static_cast<long long>(FreeImage_GetWidth(header.get())) *
                             FreeImage_GetHeight(header.get());
    if (pixels > kLargestFuzzedPixels && pixels <= kMaxLoadPixels) return true;
  }
  return false;
}

}  // namespace pmk::fuzz
