#include "image/freeimage_session.h"

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace pmk {
namespace {

thread_local std::string last_message;

void KeepFreeImageMessage(FREE_IMAGE_FORMAT, const char* message) {
  last_message = message != nullptr ? message : "";
}

void KeepTiffMessage(const char* module, const char* format, va_list args) {
  std::array<char, 512> text{};
  std::vsnprintf(text.data(), text.size(), format, args);
  last_message = std::string(module != nullptr ? module : "libtiff") + ": " + text.data();
}

constexpr std::array<FREE_IMAGE_FORMAT, 4> kReadableFormats = {FIF_BMP, FIF_JPEG, FIF_PNG,
                                                               FIF_TIFF};

}  // namespace

void EnsureFreeImageReady() noexcept {
  static std::once_flag once;
  std::call_once(once, [] {
    FreeImage_Initialise(FALSE);
    FreeImage_SetOutputMessage(KeepFreeImageMessage);
    // FreeImage's TIFF plug-in leaves libtiff's default handlers in place,
    // which print to stderr (for example on every EXIF tag it does not know).
    TIFFSetWarningHandler(KeepTiffMessage);
    TIFFSetErrorHandler(KeepTiffMessage);
  });
}

std::string LastCodecMessage() {
  return last_message;
}

void ClearLastCodecMessage() noexcept {
  last_message.clear();
}

bool IsReadableFormat(FREE_IMAGE_FORMAT format) noexcept {
  return std::find(kReadableFormats.begin(), kReadableFormats.end(), format) !=
         kReadableFormats.end();
}

bool IsPluginRecognisedFormat(FREE_IMAGE_FORMAT format) noexcept {
  return IsReadableFormat(format) || format == FIF_GIF;
}

// On Windows the narrow calls would read the name in the ANSI code page,
// which cannot hold most names; the wide ones take it as it is.
FREE_IMAGE_FORMAT DetectFileFormat(const std::filesystem::path& name) noexcept {
  EnsureFreeImageReady();
#ifdef _WIN32
  const FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeU(name.c_str(), 0);
#else
  const FREE_IMAGE_FORMAT format = FreeImage_GetFileType(name.c_str(), 0);
#endif
  return format != FIF_UNKNOWN ? format : FormatFromFileName(name);
}

FREE_IMAGE_FORMAT FormatFromFileName(const std::filesystem::path& name) noexcept {
  EnsureFreeImageReady();
#ifdef _WIN32
  return FreeImage_GetFIFFromFilenameU(name.c_str());
#else
  return FreeImage_GetFIFFromFilename(name.c_str());
#endif
}

}  // namespace pmk
