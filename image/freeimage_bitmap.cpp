#include "image/freeimage_bitmap.h"

#include "image/freeimage_session.h"
#include "image/image_files.h"

namespace pmk {

BitmapHandle LoadBitmap(FREE_IMAGE_FORMAT format, const std::string& file, int flags) noexcept {
  ClearLastCodecMessage();
  BitmapHandle bitmap(FreeImage_Load(format, file.c_str(), flags));
  if (format == FIF_JPEG && LastCodecMessage().find("Premature end of JPEG file") != std::string::npos) {
    bitmap.reset();
  }
  return bitmap;
}

bool HeaderWithinLimit(FREE_IMAGE_FORMAT format, const std::string& file) noexcept {
  // Every format the system reads can load its header alone; a format that
  // could not would load its pixels here, so it is not trusted.
  if (!FreeImage_FIFSupportsNoPixels(format)) return false;
  BitmapHandle header(FreeImage_Load(format, file.c_str(), FIF_LOAD_NOPIXELS));
  if (!header) return false;
  const long long pixels =
      static_cast<long long>(FreeImage_GetWidth(header.get())) * FreeImage_GetHeight(header.get());
  return pixels > 0 && pixels <= kMaxLoadPixels;
}

void CopyMetadataFrom(const std::string& source, FIBITMAP* target, bool read_error_names_source) {
  const FREE_IMAGE_FORMAT format = DetectFileFormat(source);
  if (!IsReadableFormat(format) || !FreeImage_FIFSupportsReading(format)) {
    throw UnsupportedImageFormat(source);
  }
  // Metadata and the profile come with the header; the pixels are not needed.
  const int flags = FIF_LOAD_NOPIXELS | (format == FIF_JPEG ? JPEG_ACCURATE : 0);
  BitmapHandle bitmap(FreeImage_Load(format, source.c_str(), flags));
  if (!bitmap) throw ImageReadError(read_error_names_source ? source : std::string());
  FreeImage_CloneMetadata(target, bitmap.get());
  if (const FIICCPROFILE* profile = FreeImage_GetICCProfile(bitmap.get());
      profile != nullptr && profile->data != nullptr && profile->size > 0) {
    FreeImage_CreateICCProfile(target, profile->data, static_cast<long>(profile->size));
  }
}

}  // namespace pmk
