#include "image/image_files.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"
#include "platform/utf8_path.h"

namespace pmk {
namespace {

bool IsSupportedImageType(FREE_IMAGE_TYPE type) {
  // Float, complex and signed-integer types would be misread as 8-bit
  // samples, so they are refused rather than signed as noise.
  return type == FIT_BITMAP || type == FIT_UINT16 || type == FIT_RGB16 || type == FIT_RGBA16;
}

// Splits a library bitmap into a blue-green-red colour record and, for four
// channels, an alpha record. False when the layout is not one the system reads
// or memory runs out.
bool SplitBitmap(FIBITMAP* bitmap, ImageRecord& colour, ImageRecord& alpha) {
  const FREE_IMAGE_COLOR_TYPE colour_type = FreeImage_GetColorType(bitmap);
  if (colour_type == FIC_PALETTE || colour_type == FIC_CMYK) return false;
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(bitmap);
  if (!IsSupportedImageType(type)) return false;

  const int bpp = static_cast<int>(FreeImage_GetBPP(bitmap));
  const int channels = type == FIT_BITMAP ? bpp / 8 : bpp / 16;
  if (channels != 1 && channels != 3 && channels != 4) return false;
  const int bits = bpp / channels;
  if (bits != 8 && bits != 16) return false;

  const auto width = static_cast<std::int32_t>(FreeImage_GetWidth(bitmap));
  const auto height = static_cast<std::int32_t>(FreeImage_GetHeight(bitmap));
  if (colour.Allocate(width, height, std::min(channels, 3), bits) != kResultOk) return false;

  const unsigned red = FreeImage_GetRedMask(bitmap);
  const unsigned green = FreeImage_GetGreenMask(bitmap);
  const unsigned blue = FreeImage_GetBlueMask(bitmap);
  if (channels != 4) {
    FreeImage_ConvertToRawBits(colour.data(), bitmap, colour.stride(), bpp, red, green, blue, TRUE);
    if (bits == 16 && channels == 3) {
      // The library keeps red first in 48-bit pixels.
      for (std::int32_t y = 0; y < height; ++y) {
        std::uint16_t* row = colour.Row<std::uint16_t>(y);
        for (std::int32_t x = 0; x < width; ++x) std::swap(row[3 * x], row[3 * x + 2]);
      }
    }
    return true;
  }

  if (alpha.Allocate(width, height, 1, bits) != kResultOk) return false;
  if (bits == 8) {
    FreeImage_ConvertToRawBits(colour.data(), bitmap, colour.stride(), 24, red, green, blue, TRUE);
    for (std::int32_t y = 0; y < height; ++y) {
      const BYTE* line = FreeImage_GetScanLine(bitmap, height - 1 - y);
      std::uint8_t* out = alpha.Row<std::uint8_t>(y);
      for (std::int32_t x = 0; x < width; ++x) out[x] = line[4 * x + 3];
    }
    return true;
  }
  for (std::int32_t y = 0; y < height; ++y) {
    const auto* line =
        reinterpret_cast<const FIRGBA16*>(FreeImage_GetScanLine(bitmap, height - 1 - y));
    std::uint16_t* out = colour.Row<std::uint16_t>(y);
    std::uint16_t* out_alpha = alpha.Row<std::uint16_t>(y);
    for (std::int32_t x = 0; x < width; ++x) {
      out[3 * x + 2] = line[x].red;
      out[3 * x + 1] = line[x].green;
      out[3 * x + 0] = line[x].blue;
      out_alpha[x] = line[x].alpha;
    }
  }
  return true;
}

// Extension rule of the writer: the last four characters, case-insensitively.
FREE_IMAGE_FORMAT FormatFromExtension(const std::string& name, int bits) {
  if (name.size() < 4) return FIF_UNKNOWN;
  std::string tail = name.substr(name.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (tail == ".tif") return FIF_TIFF;
  if (tail == ".png") return FIF_PNG;
  if (bits == 8 && tail == ".bmp") return FIF_BMP;
  if (bits == 8 && tail == ".jpg") return FIF_JPEG;
  return FIF_UNKNOWN;
}

// Builds the library bitmap of a record; null when the layout cannot be
// written or memory runs out.
FIBITMAP* BuildBitmap(const ImageRecord& colour, const ImageRecord* alpha) {
  const int channels = colour.channels();
  const int bits = colour.bits();
  if ((channels != 1 && channels != 3) || (bits != 8 && bits != 16)) return nullptr;
  FREE_IMAGE_TYPE type = FIT_BITMAP;
  if (bits == 16) type = channels == 1 ? FIT_UINT16 : (alpha != nullptr ? FIT_RGBA16 : FIT_RGB16);
  const int out_channels = channels + (alpha != nullptr ? 1 : 0);
  FIBITMAP* bitmap =
      FreeImage_AllocateT(type, colour.width(), colour.height(), out_channels * bits, 0, 0, 0);
  if (bitmap == nullptr) return nullptr;

  const std::int32_t width = colour.width();
  const std::int32_t height = colour.height();
  for (std::int32_t y = 0; y < height; ++y) {
    BYTE* line = FreeImage_GetScanLine(bitmap, height - 1 - y);
    if (bits == 8) {
      const std::uint8_t* in = colour.Row<std::uint8_t>(y);
      if (alpha == nullptr) {
        std::memcpy(line, in, static_cast<std::size_t>(colour.stride()));
        continue;
      }
      const std::uint8_t* in_alpha = alpha->Row<std::uint8_t>(y);
      for (std::int32_t x = 0; x < width; ++x) {
        std::memcpy(line + 4 * x, in + 3 * x, 3);
        line[4 * x + 3] = in_alpha[x];
      }
      continue;
    }
    const std::uint16_t* in = colour.Row<std::uint16_t>(y);
    auto* out = reinterpret_cast<std::uint16_t*>(line);
    if (channels == 1) {
      std::memcpy(out, in, static_cast<std::size_t>(colour.stride()));
      continue;
    }
    const std::uint16_t* in_alpha = alpha != nullptr ? alpha->Row<std::uint16_t>(y) : nullptr;
    const int step = out_channels;
    for (std::int32_t x = 0; x < width; ++x) {
      out[step * x + 0] = in[3 * x + 2];
      out[step * x + 1] = in[3 * x + 1];
      out[step * x + 2] = in[3 * x + 0];
      if (in_alpha != nullptr) out[step * x + 3] = in_alpha[x];
    }
  }
  return bitmap;
}

}  // namespace

std::string MetadataNotice(const std::string& source, const std::string& left_out) {
  return "metadata of " + source + " only partly carried over; left out: " + left_out;
}

bool LoadImage(const std::filesystem::path& name, ImageRecord& colour,
               ImageRecord& alpha) noexcept {
  EnsureFreeImageReady();
  const FREE_IMAGE_FORMAT format = DetectFileFormat(name);
  if (!IsReadableFormat(format) || !FreeImage_FIFSupportsReading(format)) return false;

  BitmapHandle bitmap = LoadPictureFile(format, name, format == FIF_JPEG ? JPEG_ACCURATE : 0);
  if (!bitmap) return false;
  ImageRecord new_colour;
  ImageRecord new_alpha;
  if (!SplitBitmap(bitmap.get(), new_colour, new_alpha)) return false;
  colour.TransferFrom(new_colour);
  // An alpha record from an earlier load stays when this picture has none.
  if (new_alpha.HasData()) alpha.TransferFrom(new_alpha);
  return colour.HasData();
}

namespace {

// Lends the rows of an 8-bit colour record to a library bitmap instead of
// copying them into one of the library's own, where the encoder cannot tell
// the difference: the rows are padded as the library pads them, or the
// encoder reads one row at a time and never past its end (JPEG). The library
// keeps rows bottom-up, so they are turned over in place; the record is the
// caller's to give up. Null, with the record untouched, where it cannot lend.
BitmapHandle LendRows(ImageRecord& colour, FREE_IMAGE_FORMAT format) {
  if (colour.bits() != 8 || colour.channels() != 3) return nullptr;
  if (colour.stride() % 4 != 0 && format != FIF_JPEG) return nullptr;
  BitmapHandle bitmap(FreeImage_ConvertFromRawBitsEx(FALSE, colour.data(), FIT_BITMAP,
                                                     colour.width(), colour.height(),
                                                     colour.stride(), 24, 0, 0, 0, FALSE));
  if (!bitmap) return nullptr;
  const auto row_bytes = static_cast<std::size_t>(colour.stride());
  for (std::int32_t top = 0, bottom = colour.height() - 1; top < bottom; ++top, --bottom) {
    std::uint8_t* upper = colour.Row<std::uint8_t>(top);
    std::swap_ranges(upper, upper + row_bytes, colour.Row<std::uint8_t>(bottom));
  }
  return bitmap;
}

// SaveImage; `lendable`, when given, is `colour` itself, given up by the
// caller, whose rows the library may borrow.
bool Save(const ImageRecord& colour, const ImageRecord& alpha, const std::filesystem::path& name,
          const std::filesystem::path& metadata_source, int jpeg_quality, MetadataNotices* notices,
          ImageRecord* lendable) {
  if (!colour.HasData()) return false;
  EnsureFreeImageReady();
  FREE_IMAGE_FORMAT format = FormatFromExtension(platform::Utf8FromPath(name), colour.bits());

  // Alpha goes out only where the format keeps it, and only when it matches
  // the picture sample for sample.
  const bool with_alpha = (format == FIF_PNG || format == FIF_TIFF) && alpha.HasData() &&
                          colour.channels() == 3 && alpha.channels() == 1 &&
                          alpha.width() == colour.width() && alpha.height() == colour.height() &&
                          alpha.bits() == colour.bits();
  BitmapHandle bitmap;
  if (lendable != nullptr && !with_alpha) {
    bitmap = LendRows(*lendable, format != FIF_UNKNOWN ? format : FormatFromFileName(name));
  }
  if (!bitmap) bitmap.reset(BuildBitmap(colour, with_alpha ? &alpha : nullptr));
  if (!bitmap) return false;

  if (format == FIF_UNKNOWN) format = FormatFromFileName(name);
  if (format == FIF_UNKNOWN || format == FIF_GIF || !FreeImage_FIFSupportsWriting(format)) {
    throw UnsupportedImageFormat();
  }
  int flags = 0;
  if (format == FIF_JPEG) flags = jpeg_quality >= 1 ? jpeg_quality : 95;

  std::vector<std::uint8_t> source;
  if (!metadata_source.empty()) {
    source = ReadMetadataSource(metadata_source, /*read_error_names_source=*/false);
  }
  std::string fault;
  const bool saved = SaveToFile(format, bitmap.get(), name, flags, source, fault);
  if (!fault.empty() && notices != nullptr) {
    notices->push_back(MetadataNotice(platform::Utf8FromPath(metadata_source), fault));
  }
  return saved;
}

}  // namespace

bool SaveImage(const ImageRecord& colour, const ImageRecord& alpha,
               const std::filesystem::path& name, const std::filesystem::path& metadata_source,
               int jpeg_quality, MetadataNotices* notices) {
  return Save(colour, alpha, name, metadata_source, jpeg_quality, notices, nullptr);
}

bool SaveImage(ImageRecord&& colour, const ImageRecord& alpha, const std::filesystem::path& name,
               const std::filesystem::path& metadata_source, int jpeg_quality,
               MetadataNotices* notices) {
  ImageRecord picture(std::move(colour));
  return Save(picture, alpha, name, metadata_source, jpeg_quality, notices, &picture);
}

}  // namespace pmk
