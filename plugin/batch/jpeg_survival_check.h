// Would the signature of the viewer's picture survive saving it as JPEG?
//
// The check is real, not estimated: the picture is written as "test.jpg" in
// the work folder at the chosen quality, read back, and searched at scale 1.0.
#pragma once

#include <cstdint>
#include <filesystem>

#include "image/image_record.h"

namespace pmk {

// The work files cannot be had: the work folder cannot be created, or
// "test.jpg" cannot be written or read back.
inline constexpr std::uint8_t kJpegCheckNoWorkFiles = 4;

inline constexpr int kMinJpegCheckQuality = 20;
inline constexpr int kMaxJpegCheckQuality = 100;
// Opened with this quality when the stored one is below the range.
inline constexpr int kFallbackJpegCheckQuality = 90;

// cache_folder/Pictomarker/temp.
std::filesystem::path JpegCheckWorkFolder(const std::filesystem::path& cache_folder);

// Creates the missing levels of `work_folder` with mode 0700: other users
// have no business reading the pictures put there. True when it exists.
bool MakeJpegCheckWorkFolder(const std::filesystem::path& work_folder) noexcept;

// 0 when the signature of `picture` (3 or 4 channels of 8 bits; a fourth is
// dropped, JPEG carries none) is found in its JPEG copy at `quality`, read
// back with the accurate DCT;
// kJpegCheckNoWorkFiles; otherwise the detection's result (1 not found or a
// picture of another layout, 6 out of memory). The detection runs on up to
// `threads` threads. Never throws.
std::uint8_t CheckJpegSurvival(const ImageRecord& picture, int quality,
                               const std::filesystem::path& work_folder,
                               std::uint8_t threads) noexcept;

// Writes `picture` losslessly as "orig.tif" in the work folder. 0, or
// kJpegCheckNoWorkFiles when the folder cannot be created or the file cannot
// be written. Never throws.
std::uint8_t SaveLosslessCopy(const ImageRecord& picture,
                              const std::filesystem::path& work_folder) noexcept;

}  // namespace pmk
