#include "image/tiff_strip_guard.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace pmk {
namespace {

// libtiff reads the file from memory, as FreeImage does.
struct MemoryFile {
  const std::vector<std::uint8_t>* bytes;
  toff_t at = 0;
};

tmsize_t ReadMemory(thandle_t handle, void* buffer, tmsize_t size) {
  auto* file = static_cast<MemoryFile*>(handle);
  const toff_t total = file->bytes->size();
  if (size < 0 || file->at >= total) return 0;
  const auto count =
      static_cast<tmsize_t>(std::min<toff_t>(static_cast<toff_t>(size), total - file->at));
  std::memcpy(buffer, file->bytes->data() + file->at, static_cast<std::size_t>(count));
  file->at += static_cast<toff_t>(count);
  return count;
}

tmsize_t RefuseWrite(thandle_t, void*, tmsize_t) {
  return -1;
}

toff_t SeekMemory(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  const toff_t base = whence == SEEK_CUR ? file->at : whence == SEEK_END ? file->bytes->size() : 0;
  file->at = base + offset;
  return file->at;
}

int CloseMemory(thandle_t) {
  return 0;
}

toff_t MemorySize(thandle_t handle) {
  return static_cast<MemoryFile*>(handle)->bytes->size();
}

struct TiffCloser {
  void operator()(TIFF* tiff) const noexcept { TIFFClose(tiff); }
};

// The loaders FreeImage picks instead of the generic one.
bool ReadByAnotherLoader(std::uint16_t photometric, std::uint16_t samples, std::uint16_t bits) {
  switch (photometric) {
    case PHOTOMETRIC_YCBCR:
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
    case PHOTOMETRIC_LOGLUV:
    case PHOTOMETRIC_SEPARATED:
      return true;
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_PALETTE:
      return samples > 1 && bits == 8;
    default:
      return false;
  }
}

}  // namespace

bool TiffRowsOverrunInFreeImage(const std::vector<std::uint8_t>& file, FIBITMAP* header) noexcept {
  MemoryFile memory{&file};
  // "m": no memory mapping; the procedures above are the only access.
  std::unique_ptr<TIFF, TiffCloser> tiff(TIFFClientOpen("picture", "rm", &memory, ReadMemory,
                                                        RefuseWrite, SeekMemory, CloseMemory,
                                                        MemorySize, nullptr, nullptr));
  if (!tiff) return true;
  std::uint16_t photometric = 0;
  std::uint16_t samples = 1;
  std::uint16_t bits = 1;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetField(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &planar);
  if (planar != PLANARCONFIG_CONTIG || ReadByAnotherLoader(photometric, samples, bits)) {
    return false;
  }
  // The loader's own arithmetic: a plain copy when the rows are alike, else
  // one file pixel for each bitmap pixel of the padded row.
  const auto file_row = static_cast<unsigned long long>(TIFFScanlineSize(tiff.get()));
  if (file_row == FreeImage_GetLine(header)) return false;
  const unsigned bitmap_pixel = FreeImage_GetBPP(header) / 8;
  // The bitmap holds four samples at most; beyond that the loader walks the
  // file's pixels with word loads at odd offsets (a fuzzer finding).
  if (bitmap_pixel == 0 || samples > 4) return true;
  const unsigned file_pixel = static_cast<unsigned>(bits * samples / 8);
  const unsigned long long pixels_copied =
      (FreeImage_GetPitch(header) + bitmap_pixel - 1) / bitmap_pixel;
  return pixels_copied * file_pixel > file_row;
}

}  // namespace pmk
