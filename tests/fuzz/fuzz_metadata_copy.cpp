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
#include "tests/fuzz/encoded_pictures.h"

namespace {

using pmk::fuzz::Encoded;
using pmk::fuzz::kFormats;
using pmk::fuzz::kHeight;
using pmk::fuzz::kWidth;

void Require(bool condition) {
  if (!condition) std::abort();
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
