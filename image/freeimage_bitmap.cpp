#include "image/freeimage_bitmap.h"

#include <cstdio>

#include "image/freeimage_session.h"
#include "image/image_files.h"

namespace pmk {
namespace {

unsigned DLL_CALLCONV ReadFromFile(void* buffer, unsigned size, unsigned count, fi_handle file) {
  return static_cast<unsigned>(std::fread(buffer, size, count, static_cast<std::FILE*>(file)));
}
unsigned DLL_CALLCONV WriteToFile(void* buffer, unsigned size, unsigned count, fi_handle file) {
  return static_cast<unsigned>(std::fwrite(buffer, size, count, static_cast<std::FILE*>(file)));
}
int DLL_CALLCONV SeekInFile(fi_handle file, long offset, int origin) {
  return std::fseek(static_cast<std::FILE*>(file), offset, origin);
}
long DLL_CALLCONV TellInFile(fi_handle file) {
  return std::ftell(static_cast<std::FILE*>(file));
}

}  // namespace

BitmapHandle LoadFromFile(FREE_IMAGE_FORMAT format, const std::string& file, int flags) noexcept {
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (in == nullptr) return nullptr;
  FreeImageIO io{ReadFromFile, WriteToFile, SeekInFile, TellInFile};
  BitmapHandle bitmap(FreeImage_LoadFromHandle(format, &io, in, flags));
  std::fclose(in);
  return bitmap;
}

bool SaveToFile(FREE_IMAGE_FORMAT format, FIBITMAP* bitmap, const std::string& file,
                int flags) noexcept {
  // The picture is encoded in memory first: the library's encoders do not
  // clean up after a failed write (the JPEG encoder loses its row buffer), and
  // a write that can only fail here is one that can be checked completely.
  FIMEMORY* memory = FreeImage_OpenMemory(nullptr, 0);
  if (memory == nullptr) return false;
  BYTE* data = nullptr;
  DWORD size = 0;
  const bool encoded = FreeImage_SaveToMemory(format, bitmap, memory, flags) != FALSE &&
                       FreeImage_AcquireMemory(memory, &data, &size) != FALSE;
  bool saved = false;
  if (encoded) {
    if (std::FILE* out = std::fopen(file.c_str(), "wb")) {
      saved = std::fwrite(data, 1, size, out) == size;
      saved = std::fflush(out) == 0 && saved;
      saved = std::fclose(out) == 0 && saved;
      // A picture cut short is worse than none.
      if (!saved) std::remove(file.c_str());
    }
  }
  FreeImage_CloseMemory(memory);
  return saved;
}

BitmapHandle LoadBitmap(FREE_IMAGE_FORMAT format, const std::string& file, int flags) noexcept {
  ClearLastCodecMessage();
  BitmapHandle bitmap = LoadFromFile(format, file, flags);
  if (format == FIF_JPEG &&
      LastCodecMessage().find("Premature end of JPEG file") != std::string::npos) {
    bitmap.reset();
  }
  return bitmap;
}

bool HeaderWithinLimit(FREE_IMAGE_FORMAT format, const std::string& file) noexcept {
  // Every format the system reads can load its header alone; a format that
  // could not would load its pixels here, so it is not trusted.
  if (!FreeImage_FIFSupportsNoPixels(format)) return false;
  BitmapHandle header = LoadFromFile(format, file, FIF_LOAD_NOPIXELS);
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
  BitmapHandle bitmap = LoadFromFile(format, source, flags);
  if (!bitmap) throw ImageReadError(read_error_names_source ? source : std::string());
  FreeImage_CloneMetadata(target, bitmap.get());
  if (const FIICCPROFILE* profile = FreeImage_GetICCProfile(bitmap.get());
      profile != nullptr && profile->data != nullptr && profile->size > 0) {
    FreeImage_CreateICCProfile(target, profile->data, static_cast<long>(profile->size));
  }
}

}  // namespace pmk
