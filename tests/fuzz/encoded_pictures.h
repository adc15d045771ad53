// What the metadata targets carry into: a small picture freshly encoded in
// each format the writer writes with metadata, as the writer hands it over.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"

namespace pmk::fuzz {

inline constexpr FREE_IMAGE_FORMAT kFormats[] = {FIF_JPEG, FIF_PNG, FIF_TIFF};
inline constexpr int kWidth = 8;
inline constexpr int kHeight = 6;

// The encoded picture of `format`, one of kFormats.
inline const std::vector<std::uint8_t>& Encoded(FREE_IMAGE_FORMAT format) {
  static const auto pictures = [] {
    EnsureFreeImageReady();
    std::vector<std::vector<std::uint8_t>> encoded;
    BitmapHandle bitmap(FreeImage_Allocate(kWidth, kHeight, 24));
    for (const FREE_IMAGE_FORMAT f : kFormats) {
      FIMEMORY* memory = FreeImage_OpenMemory(nullptr, 0);
      BYTE* data = nullptr;
      DWORD size = 0;
      if (!FreeImage_SaveToMemory(f, bitmap.get(), memory, 0) ||
          !FreeImage_AcquireMemory(memory, &data, &size)) {
        std::abort();
      }
      encoded.emplace_back(data, data + size);
      FreeImage_CloseMemory(memory);
    }
    return encoded;
  }();
  return pictures[format == FIF_JPEG ? 0 : format == FIF_PNG ? 1 : 2];
}

}  // namespace pmk::fuzz
