// The plug-in's picture-buffer operations, on the system's one picture
// record. They have the effect of the closed picture-buffer library the
// plug-in was first written against, under the same names.
//
// Every operation returns 0 on success, 1 when the arguments do not fit
// (geometry, channel, depth), 6 when a buffer cannot be obtained. A failed
// operation leaves its destination as it was; nothing here throws.
#pragma once

#include <cstdint>

#include "image/image_record.h"

namespace pmk::picture_buffer {

struct Rect {
  std::int32_t left, top, right, bottom;  // right and bottom exclusive
};
struct Point {
  std::int32_t x, y;
};
struct Size {
  std::int32_t width, height;
};

// Copies the samples of a source of the same geometry.
std::uint8_t Copy(ImageRecord& destination, const ImageRecord& source) noexcept;

// Makes `destination` a copy of the whole of `source` (empty for an empty
// source); on failure it is left empty.
std::uint8_t CopyWhole(ImageRecord& destination, const ImageRecord& source) noexcept;
// Makes the destination a copy of `rect` of the source (clipped to it).
std::uint8_t Copy(ImageRecord& destination, const ImageRecord& source, Rect rect) noexcept;
// Copies a block between pictures of the same channels and bits, clipped to
// both.
std::uint8_t CopyRect(ImageRecord& destination, const ImageRecord& source, Point destination_at,
                      Point source_at, Size size) noexcept;

// One channel of the source as a one-channel picture.
std::uint8_t ExtractComponent(ImageRecord& destination, std::int32_t channel,
                              const ImageRecord& source) noexcept;
// Writes a one-channel picture of the same size and depth into a channel.
std::uint8_t InsertComponent(ImageRecord& destination, std::int32_t channel,
                             const ImageRecord& source) noexcept;
// The source without that channel.
std::uint8_t RemoveComponent(ImageRecord& destination, std::int32_t channel,
                             const ImageRecord& source) noexcept;

// Composites a four-channel 8-bit picture over the colour (c0, c1, c2, in the
// picture's own channel order), leaving three channels: each sample becomes
// (s * a + c * (255 - a) + 127) / 255.
std::uint8_t ApplyAlphaChannel(ImageRecord& picture, std::uint8_t c0, std::uint8_t c1,
                               std::uint8_t c2) noexcept;

// Converts in place to 8 or 16 bits and 1, 3 or 4 channels. Depth: 16-bit
// samples keep their high byte, 8-bit samples widen as v * 257. Channels: one
// is replicated; colour to one is the rounded-down mean of the three colour
// samples; an added alpha is opaque; a removed one is dropped.
std::uint8_t ConvertBpcComp(ImageRecord& picture, std::int32_t bits,
                            std::int32_t channels) noexcept;

// A destination-to-source point map without shear: the destination point
// (centre_x, centre_y) shows the source point (anchor_x, anchor_y), at `zoom`
// destination pixels per source pixel, turned by `angle` radians.
struct PicMap {
  double centre_x = 0, centre_y = 0, anchor_x = 0, anchor_y = 0, angle = 0, zoom = 1;
  double cos_over_zoom = 1, sin_over_zoom = 0;

  static PicMap Compute(double centre_x, double centre_y, double anchor_x, double anchor_y,
                        double angle, double zoom) noexcept;
  // The source point shown at the centre of destination pixel (x, y).
  void Source(std::int32_t x, std::int32_t y, double& u, double& v) const noexcept;
};

// Fills the destination by nearest-neighbour sampling of the source through
// the map; destination pixels that map outside the source keep their value.
// Both need the same channels and bits, and the zoom must be positive.
std::uint8_t TransformConstantFast(ImageRecord& destination, const ImageRecord& source,
                                   const PicMap& map) noexcept;

}  // namespace pmk::picture_buffer
