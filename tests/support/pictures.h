// The pictures, planes and rectangles the tests build, in one place.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/internal/candidate_rect.h"
#include "engine/internal/guide_plane.h"
#include "image/image_files.h"
#include "image/image_record.h"

namespace pmk::testing {

// A one-channel float plane of `w` x `h` filled with `value`.
inline ImageRecord MakePlane(int w, int h, float value) {
  ImageRecord plane;
  EXPECT_EQ(plane.Allocate(w, h, 1, 32), kResultOk);
  std::fill(plane.Floats(), plane.Floats() + static_cast<std::size_t>(w) * h, value);
  return plane;
}

// Paints the pixels x0 <= x < x1, y0 <= y < y1.
inline void FillRect(ImageRecord& plane, int x0, int y0, int x1, int y1, float value) {
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) plane.Row<float>(y)[x] = value;
  }
}

// `w` x `h` samples drawn evenly from [low, high).
inline std::vector<float> RandomPlane(int w, int h, unsigned seed, float low = 0.0f,
                                      float high = 255.0f) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> value(low, high);
  std::vector<float> plane(static_cast<std::size_t>(w) * h);
  for (float& v : plane) v = value(random);
  return plane;
}

// A picture of mid-grey samples (128) in any layout.
inline ImageRecord GreyPicture(std::int32_t width, std::int32_t height, std::int32_t channels = 3,
                               std::int32_t bits = 8) {
  ImageRecord picture;
  EXPECT_EQ(picture.Allocate(width, height, channels, bits), kResultOk);
  std::memset(picture.data(), 128, static_cast<std::size_t>(picture.size()));
  return picture;
}

inline ImageRecord CopyOf(const ImageRecord& source) {
  ImageRecord copy;
  EXPECT_EQ(copy.Allocate(source.width(), source.height(), source.channels(), source.bits()),
            kResultOk);
  std::memcpy(copy.data(), source.data(), static_cast<std::size_t>(source.size()));
  return copy;
}

// Sample `c` of pixel (x, y) of an 8-bit picture.
inline std::uint8_t Sample(const ImageRecord& image, std::int32_t x, std::int32_t y,
                           std::int32_t c) {
  return image.Row<std::uint8_t>(y)[x * image.channels() + c];
}

inline bool SameRect(const CandidateRect& a, const CandidateRect& b) {
  return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1;
}

// A picture of tests/data (or any file) as the 8-bit colour the engine reads.
inline ImageRecord LoadColourPhoto(const std::filesystem::path& name) {
  ImageRecord colour;
  ImageRecord alpha;
  EXPECT_TRUE(LoadImage(std::filesystem::path(PMK_TEST_DATA_DIR) / name, colour, alpha)) << name;
  ConvertTo8BitColour(colour);
  EXPECT_EQ(colour.channels(), 3) << name;
  EXPECT_EQ(colour.bits(), 8) << name;
  return colour;
}

// The guide plane (green + red) / 2 of a photograph, as the engine builds it.
inline ImageRecord GuidePlaneOf(const std::filesystem::path& file) {
  const ImageRecord colour = LoadColourPhoto(file);
  ImageRecord plane;
  EXPECT_EQ(plane.Allocate(colour.width(), colour.height(), 3, 32), kResultOk);
  for (int y = 0; y < colour.height(); ++y) {
    const std::uint8_t* in = colour.Row<std::uint8_t>(y);
    float* out = plane.Row<float>(y);
    for (int i = 0; i < 3 * colour.width(); ++i) out[i] = in[i];
  }
  EXPECT_EQ(MakeGuidePlane(plane), kResultOk);
  return plane;
}

}  // namespace pmk::testing
