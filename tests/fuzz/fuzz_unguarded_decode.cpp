// FreeImage decoding the fuzzer's bytes as they come, metadata included: what
// the readers did before they removed the metadata blocks. Not fuzzed (it only
// finds FreeImage's own flaws again); it shows that the sanitizers catch the
// flaws the removal closes, e.g. on a camera TIFF with EXIF and a profile
// (check_camera_tiff.sh).
#include <FreeImage.h>

#include <cstddef>
#include <cstdint>

#include "image/freeimage_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pmk::EnsureFreeImageReady();
  FIMEMORY* memory = FreeImage_OpenMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size));
  const FREE_IMAGE_FORMAT format = FreeImage_GetFileTypeFromMemory(memory, 0);
  if (format == FIF_BMP || format == FIF_JPEG || format == FIF_PNG || format == FIF_TIFF) {
    FreeImage_Unload(FreeImage_LoadFromMemory(format, memory, 0));
  }
  FreeImage_CloseMemory(memory);
  return 0;
}
