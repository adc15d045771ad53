#include "image/freeimage_bitmap.h"

#include <cstdio>
#include <limits>
#include <new>

#include "image/freeimage_session.h"
#include "image/image_files.h"
#include "image/metadata_carry.h"
#include "image/metadata_free_copy.h"
#include "image/tiff_strip_guard.h"
#include "platform/utf8_path.h"

namespace pmk {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

struct MemoryCloser {
  void operator()(FIMEMORY* memory) const noexcept { FreeImage_CloseMemory(memory); }
};
using MemoryHandle = std::unique_ptr<FIMEMORY, MemoryCloser>;

BitmapHandle DecodeBytes(FREE_IMAGE_FORMAT format, const std::vector<std::uint8_t>& bytes,
                         int flags) noexcept {
  if (bytes.empty()) return nullptr;
  // The library only reads from this stream, whatever its signature says.
  MemoryHandle memory(
      FreeImage_OpenMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size())));
  if (!memory) return nullptr;
  return BitmapHandle(FreeImage_LoadFromMemory(format, memory.get(), flags));
}

bool WriteWholeFile(const std::vector<std::uint8_t>& bytes,
                    const std::filesystem::path& file) noexcept {
  std::FILE* out = platform::OpenFile(file, "wb");
  if (out == nullptr) return false;
  bool saved = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  saved = std::fflush(out) == 0 && saved;
  saved = std::fclose(out) == 0 && saved;
  // A picture cut short is worse than none.
  if (!saved) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
  }
  return saved;
}

bool EncodeToMemory(FREE_IMAGE_FORMAT format, FIBITMAP* bitmap, int flags,
                    std::vector<std::uint8_t>& bytes) {
  MemoryHandle memory(FreeImage_OpenMemory(nullptr, 0));
  if (!memory) return false;
  BYTE* data = nullptr;
  DWORD size = 0;
  if (FreeImage_SaveToMemory(format, bitmap, memory.get(), flags) == FALSE ||
      FreeImage_AcquireMemory(memory.get(), &data, &size) == FALSE) {
    return false;
  }
  bytes.assign(data, data + size);
  return true;
}

}  // namespace

bool ReadWholeFile(const std::filesystem::path& file, std::vector<std::uint8_t>& bytes) noexcept {
  std::unique_ptr<std::FILE, FileCloser> in(platform::OpenFile(file, "rb"));
  if (!in || std::fseek(in.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(in.get());
  if (size < 0 || static_cast<unsigned long long>(size) > std::numeric_limits<DWORD>::max() ||
      std::fseek(in.get(), 0, SEEK_SET) != 0) {
    return false;
  }
  try {
    bytes.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return std::fread(bytes.data(), 1, bytes.size(), in.get()) == bytes.size();
}

BitmapHandle DecodeWithoutMetadata(FREE_IMAGE_FORMAT format, const std::vector<std::uint8_t>& file,
                                   int flags) noexcept {
  try {
    return DecodeBytes(format, WithoutMetadataBlocks(format, file), flags);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

BitmapHandle LoadPictureFile(FREE_IMAGE_FORMAT format, const std::filesystem::path& file,
                             int flags) noexcept {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(file, bytes)) return nullptr;
  try {
    bytes = WithoutMetadataBlocks(format, bytes);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  // Every format the system reads can load its header alone; a format that
  // could not would load its pixels here, so it is not trusted.
  if (!FreeImage_FIFSupportsNoPixels(format)) return nullptr;
  BitmapHandle header = DecodeBytes(format, bytes, FIF_LOAD_NOPIXELS);
  if (!header) return nullptr;
  const long long pixels =
      static_cast<long long>(FreeImage_GetWidth(header.get())) * FreeImage_GetHeight(header.get());
  if (pixels <= 0 || pixels > kMaxLoadPixels) return nullptr;
  if (format == FIF_TIFF && TiffRowsOverrunInFreeImage(bytes, header.get())) return nullptr;
  header.reset();

  ClearLastCodecMessage();
  BitmapHandle bitmap = DecodeBytes(format, bytes, flags);
  if (format == FIF_JPEG &&
      LastCodecMessage().find("Premature end of JPEG file") != std::string::npos) {
    bitmap.reset();
  }
  return bitmap;
}

std::vector<std::uint8_t> ReadMetadataSource(const std::filesystem::path& source,
                                             bool read_error_names_source) {
  const FREE_IMAGE_FORMAT format = DetectFileFormat(source);
  if (!IsReadableFormat(format) || !FreeImage_FIFSupportsReading(format)) {
    throw UnsupportedImageFormat(platform::Utf8FromPath(source));
  }
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(source, bytes) ||
      !DecodeWithoutMetadata(format, bytes,
                             FIF_LOAD_NOPIXELS | (format == FIF_JPEG ? JPEG_ACCURATE : 0))) {
    throw ImageReadError(read_error_names_source ? platform::Utf8FromPath(source) : std::string());
  }
  return bytes;
}

bool SaveToFile(FREE_IMAGE_FORMAT format, FIBITMAP* bitmap, const std::filesystem::path& file,
                int flags, const std::vector<std::uint8_t>& metadata_source,
                std::string& metadata_fault) noexcept {
  try {
    std::vector<std::uint8_t> bytes;
    if (!EncodeToMemory(format, bitmap, flags, bytes)) return false;
    metadata_fault = CarryMetadata(metadata_source, format,
                                   static_cast<std::int32_t>(FreeImage_GetWidth(bitmap)),
                                   static_cast<std::int32_t>(FreeImage_GetHeight(bitmap)), bytes);
    return WriteWholeFile(bytes, file);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace pmk
