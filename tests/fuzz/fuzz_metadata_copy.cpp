// The metadata copy on arbitrary bytes: the bytes are the source file whose
// EXIF, IPTC, XMP and profile are carried into a freshly encoded JPEG, PNG
// and TIFF, and the file whose metadata blocks are removed before FreeImage
// decodes it.
#include <FreeImage.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"
#include "image/metadata_carry.h"
#include "image/metadata_free_copy.h"

namespace {

constexpr FREE_IMAGE_FORMAT kFormats[] = {FIF_JPEG, FIF_PNG, FIF_TIFF};
constexpr int kWidth = 8;
constexpr int kHeight = 6;

void Require(bool condition) {
  if (!condition) std::abort();
}

// A small picture in each format, as the writer hands it to the copy.
const std::vector<std::uint8_t>& Encoded(FREE_IMAGE_FORMAT format) {
  static const auto pictures = [] {
    pmk::EnsureFreeImageReady();
    std::vector<std::vector<std::uint8_t>> encoded;
    pmk::BitmapHandle bitmap(FreeImage_Allocate(kWidth, kHeight, 24));
    for (const FREE_IMAGE_FORMAT f : kFormats) {
      FIMEMORY* memory = FreeImage_OpenMemory(nullptr, 0);
      BYTE* data = nullptr;
      DWORD size = 0;
      Require(FreeImage_SaveToMemory(f, bitmap.get(), memory, 0) &&
              FreeImage_AcquireMemory(memory, &data, &size));
      encoded.emplace_back(data, data + size);
      FreeImage_CloseMemory(memory);
    }
    return encoded;
  }();
  return pictures[format == FIF_JPEG ? 0 : format == FIF_PNG ? 1 : 2];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> source(data, data + size);
  for (const FREE_IMAGE_FORMAT format : kFormats) {
    // The copy never grows, and what it keeps still decodes as a header or
    // fails cleanly.
    const std::vector<std::uint8_t> copy = pmk::WithoutMetadataBlocks(format, source);
    Require(copy.size() <= source.size());
    pmk::DecodeWithoutMetadata(format, source, FIF_LOAD_NOPIXELS);

    // Whatever the source holds, the written file keeps a decodable picture.
    std::vector<std::uint8_t> encoded = Encoded(format);
    pmk::CarryMetadata(source, format, kWidth, kHeight, encoded);
    pmk::BitmapHandle back = pmk::DecodeWithoutMetadata(format, encoded, 0);
    Require(back != nullptr && FreeImage_GetWidth(back.get()) == kWidth &&
            FreeImage_GetHeight(back.get()) == kHeight);
  }
  return 0;
}
