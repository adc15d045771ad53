#include "image/plugin_image_files.h"

#include "image/freeimage_bitmap.h"
#include "image/freeimage_session.h"
#include "platform/utf8_path.h"

namespace pmk {
namespace {

FREE_IMAGE_FORMAT ToLibraryFormat(PluginFileFormat format, const std::filesystem::path& name) {
  switch (format) {
    case PluginFileFormat::kBmp:
      return FIF_BMP;
    case PluginFileFormat::kJpeg:
      return FIF_JPEG;
    case PluginFileFormat::kPng:
      return FIF_PNG;
    case PluginFileFormat::kTiff:
      return FIF_TIFF;
    case PluginFileFormat::kFromName:
      break;
  }
  return FormatFromFileName(name);
}

constexpr unsigned kRedMask = 0xFF0000;
constexpr unsigned kGreenMask = 0xFF00;
constexpr unsigned kBlueMask = 0xFF;

}  // namespace

bool LoadPluginImage(const std::filesystem::path& name, ImageRecord& picture) {
  EnsureFreeImageReady();
  const FREE_IMAGE_FORMAT format = DetectFileFormat(name);
  if (!IsPluginRecognisedFormat(format) || format == FIF_GIF ||
      !FreeImage_FIFSupportsReading(format)) {
    throw UnsupportedImageFormat();
  }
  BitmapHandle bitmap = LoadPictureFile(format, name, 0);
  if (!bitmap) throw ImageReadError();

  const unsigned bpp = FreeImage_GetBPP(bitmap.get());
  const bool converted =
      FreeImage_GetImageType(bitmap.get()) != FIT_BITMAP || (bpp != 24 && bpp != 32);
  if (converted) {
    FIBITMAP* wider = FreeImage_IsTransparent(bitmap.get())
                          ? FreeImage_ConvertTo32Bits(bitmap.get())
                          : FreeImage_ConvertTo24Bits(bitmap.get());
    if (wider == nullptr) throw ImageReadError();
    bitmap.reset(wider);
  }

  const unsigned wide_bpp = FreeImage_GetBPP(bitmap.get());
  const int channels = wide_bpp == 24 ? 3 : 4;
  ImageRecord loaded;
  if (loaded.Allocate(static_cast<std::int32_t>(FreeImage_GetWidth(bitmap.get())),
                      static_cast<std::int32_t>(FreeImage_GetHeight(bitmap.get())), channels,
                      static_cast<std::int32_t>(wide_bpp) / channels) != kResultOk) {
    throw FreeImageOperationFailure();
  }
  FreeImage_ConvertToRawBits(loaded.data(), bitmap.get(), loaded.stride(), wide_bpp, kRedMask,
                             kGreenMask, kBlueMask, TRUE);
  picture.Swap(loaded);
  return converted;
}

bool SavePluginImage(const ImageRecord& picture, const std::filesystem::path& name,
                     PluginFileFormat format, const std::filesystem::path& metadata_source,
                     int jpeg_quality, MetadataNotices* notices) {
  if (!picture.HasData()) return false;
  EnsureFreeImageReady();
  // The library only reads the pixels here, whatever its signature says.
  BitmapHandle bitmap(FreeImage_ConvertFromRawBits(
      const_cast<BYTE*>(picture.data()), picture.width(), picture.height(), picture.stride(),
      static_cast<unsigned>(picture.bits() * picture.channels()), kRedMask, kGreenMask, kBlueMask,
      TRUE));
  if (!bitmap) return false;

  const FREE_IMAGE_FORMAT library_format = ToLibraryFormat(format, name);
  if (library_format == FIF_UNKNOWN || library_format == FIF_GIF ||
      !FreeImage_FIFSupportsWriting(library_format)) {
    throw UnsupportedImageFormat();
  }
  int flags = 0;
  if (library_format == FIF_JPEG) flags = jpeg_quality >= 1 ? jpeg_quality : 95;
  std::vector<std::uint8_t> source;
  if (!metadata_source.empty()) {
    source = ReadMetadataSource(metadata_source, /*read_error_names_source=*/true);
  }
  std::string fault;
  const bool saved = SaveToFile(library_format, bitmap.get(), name, flags, source, fault);
  if (!fault.empty() && notices != nullptr) {
    notices->push_back(MetadataNotice(platform::Utf8FromPath(metadata_source), fault));
  }
  return saved;
}

}  // namespace pmk
