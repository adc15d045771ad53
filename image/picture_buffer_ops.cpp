#include "image/picture_buffer_ops.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/checked_allocation.h"

namespace pmk::picture_buffer {
namespace {

std::size_t PixelBytes(const ImageRecord& r) {
  return static_cast<std::size_t>(r.BytesPerSample()) * static_cast<std::size_t>(r.channels());
}

bool SameGeometry(const ImageRecord& a, const ImageRecord& b) {
  return a.width() == b.width() && a.height() == b.height() && a.channels() == b.channels() &&
         a.bits() == b.bits();
}

// Copies `count` samples per pixel starting at `from` channel of the source
// into the destination starting at `to` channel, for every pixel.
void CopyChannels(ImageRecord& destination, std::int32_t to, const ImageRecord& source,
                  std::int32_t from, std::int32_t count) {
  const std::size_t sample = static_cast<std::size_t>(source.BytesPerSample());
  const std::size_t in_pixel = PixelBytes(source);
  const std::size_t out_pixel = PixelBytes(destination);
  for (std::int32_t y = 0; y < source.height(); ++y) {
    const std::uint8_t* in = source.Row<std::uint8_t>(y) + from * sample;
    std::uint8_t* out = destination.Row<std::uint8_t>(y) + to * sample;
    for (std::int32_t x = 0; x < source.width(); ++x, in += in_pixel, out += out_pixel) {
      std::memcpy(out, in, count * sample);
    }
  }
}

std::uint32_t Sample(const ImageRecord& r, const std::uint8_t* at) {
  if (r.bits() == 16) {
    std::uint16_t v = 0;
    std::memcpy(&v, at, 2);
    return v;
  }
  return *at;
}

void Store(const ImageRecord& r, std::uint8_t* at, std::uint32_t v) {
  if (r.bits() == 16) {
    const auto s = static_cast<std::uint16_t>(v);
    std::memcpy(at, &s, 2);
  } else {
    *at = static_cast<std::uint8_t>(v);
  }
}

}  // namespace

std::uint8_t Copy(ImageRecord& destination, const ImageRecord& source) noexcept {
  if (!SameGeometry(destination, source) || !destination.HasData() || !source.HasData())
    return kResultRefused;
  std::memcpy(destination.data(), source.data(), static_cast<std::size_t>(source.size()));
  return kResultOk;
}

std::uint8_t CopyWhole(ImageRecord& destination, const ImageRecord& source) noexcept {
  destination.Release();
  if (!source.HasData()) return kResultOk;
  std::uint8_t result =
      destination.Allocate(source.width(), source.height(), source.channels(), source.bits());
  if (result == kResultOk) result = Copy(destination, source);
  if (result != kResultOk) destination.Release();
  return result;
}

std::uint8_t Copy(ImageRecord& destination, const ImageRecord& source, Rect rect) noexcept {
  rect.left = std::max(rect.left, 0);
  rect.top = std::max(rect.top, 0);
  rect.right = std::min(rect.right, source.width());
  rect.bottom = std::min(rect.bottom, source.height());
  if (!source.HasData() || rect.right <= rect.left || rect.bottom <= rect.top)
    return kResultRefused;
  ImageRecord copy;
  if (copy.Allocate(rect.right - rect.left, rect.bottom - rect.top, source.channels(),
                    source.bits()) != kResultOk) {
    return kResultNoMemory;
  }
  CopyRect(copy, source, {0, 0}, {rect.left, rect.top}, {copy.width(), copy.height()});
  destination = std::move(copy);
  return kResultOk;
}

std::uint8_t CopyRect(ImageRecord& destination, const ImageRecord& source, Point destination_at,
                      Point source_at, Size size) noexcept {
  if (destination.channels() != source.channels() || destination.bits() != source.bits() ||
      !destination.HasData() || !source.HasData()) {
    return kResultRefused;
  }
  // Clip to both pictures, moving both corners together.
  const std::int64_t shift_x = std::max({0, -destination_at.x, -source_at.x});
  const std::int64_t shift_y = std::max({0, -destination_at.y, -source_at.y});
  const std::int64_t width = std::min<std::int64_t>(
      {size.width - shift_x, destination.width() - destination_at.x - shift_x,
       source.width() - source_at.x - shift_x});
  const std::int64_t height = std::min<std::int64_t>(
      {size.height - shift_y, destination.height() - destination_at.y - shift_y,
       source.height() - source_at.y - shift_y});
  if (width <= 0 || height <= 0) return kResultOk;
  const std::size_t pixel = PixelBytes(source);
  for (std::int64_t row = 0; row < height; ++row) {
    const auto sy = static_cast<std::int32_t>(source_at.y + shift_y + row);
    const auto dy = static_cast<std::int32_t>(destination_at.y + shift_y + row);
    std::memcpy(destination.Row<std::uint8_t>(dy) + (destination_at.x + shift_x) * pixel,
                source.Row<std::uint8_t>(sy) + (source_at.x + shift_x) * pixel,
                static_cast<std::size_t>(width) * pixel);
  }
  return kResultOk;
}

std::uint8_t ExtractComponent(ImageRecord& destination, std::int32_t channel,
                              const ImageRecord& source) noexcept {
  if (!source.HasData() || channel < 0 || channel >= source.channels()) return kResultRefused;
  ImageRecord plane;
  if (plane.Allocate(source.width(), source.height(), 1, source.bits()) != kResultOk)
    return kResultNoMemory;
  CopyChannels(plane, 0, source, channel, 1);
  destination = std::move(plane);
  return kResultOk;
}

std::uint8_t InsertComponent(ImageRecord& destination, std::int32_t channel,
                             const ImageRecord& source) noexcept {
  if (!source.HasData() || !destination.HasData() || source.channels() != 1 ||
      source.bits() != destination.bits() || source.width() != destination.width() ||
      source.height() != destination.height() || channel < 0 || channel >= destination.channels()) {
    return kResultRefused;
  }
  // Written pixel by pixel from the plane: the channel loop runs over the source.
  const std::size_t sample = static_cast<std::size_t>(source.BytesPerSample());
  const std::size_t out_pixel = PixelBytes(destination);
  for (std::int32_t y = 0; y < source.height(); ++y) {
    const std::uint8_t* in = source.Row<std::uint8_t>(y);
    std::uint8_t* out = destination.Row<std::uint8_t>(y) + channel * sample;
    for (std::int32_t x = 0; x < source.width(); ++x, in += sample, out += out_pixel) {
      std::memcpy(out, in, sample);
    }
  }
  return kResultOk;
}

std::uint8_t RemoveComponent(ImageRecord& destination, std::int32_t channel,
                             const ImageRecord& source) noexcept {
  if (!source.HasData() || source.channels() < 2 || channel < 0 || channel >= source.channels())
    return kResultRefused;
  ImageRecord rest;
  if (rest.Allocate(source.width(), source.height(), source.channels() - 1, source.bits()) !=
      kResultOk) {
    return kResultNoMemory;
  }
  CopyChannels(rest, 0, source, 0, channel);
  CopyChannels(rest, channel, source, channel + 1, source.channels() - channel - 1);
  destination = std::move(rest);
  return kResultOk;
}

std::uint8_t ApplyAlphaChannel(ImageRecord& picture, std::uint8_t c0, std::uint8_t c1,
                               std::uint8_t c2) noexcept {
  if (!picture.HasData() || picture.channels() != 4 || picture.bits() != 8) return kResultRefused;
  ImageRecord flat;
  if (flat.Allocate(picture.width(), picture.height(), 3, 8) != kResultOk) return kResultNoMemory;
  const std::uint32_t colour[3] = {c0, c1, c2};
  for (std::int32_t y = 0; y < picture.height(); ++y) {
    const std::uint8_t* in = picture.Row<std::uint8_t>(y);
    std::uint8_t* out = flat.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < picture.width(); ++x, in += 4, out += 3) {
      const std::uint32_t a = in[3];
      for (int c = 0; c < 3; ++c) {
        out[c] = static_cast<std::uint8_t>((in[c] * a + colour[c] * (255 - a) + 127) / 255);
      }
    }
  }
  picture = std::move(flat);
  return kResultOk;
}

std::uint8_t ConvertBpcComp(ImageRecord& picture, std::int32_t bits,
                            std::int32_t channels) noexcept {
  auto supported = [](std::int32_t b, std::int32_t c) {
    return (b == 8 || b == 16) && (c == 1 || c == 3 || c == 4);
  };
  if (!picture.HasData() || !supported(bits, channels) ||
      !supported(picture.bits(), picture.channels())) {
    return kResultRefused;
  }
  if (bits == picture.bits() && channels == picture.channels()) return kResultOk;
  ImageRecord converted;
  if (converted.Allocate(picture.width(), picture.height(), channels, bits) != kResultOk)
    return kResultNoMemory;
  const std::int32_t from = picture.channels();
  const std::size_t in_sample = static_cast<std::size_t>(picture.BytesPerSample());
  const std::size_t out_sample = static_cast<std::size_t>(converted.BytesPerSample());
  const std::uint32_t opaque = bits == 16 ? 0xFFFF : 0xFF;
  for (std::int32_t y = 0; y < picture.height(); ++y) {
    const std::uint8_t* in = picture.Row<std::uint8_t>(y);
    std::uint8_t* out = converted.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < picture.width(); ++x) {
      std::uint32_t s[4] = {0, 0, 0, 0};
      for (std::int32_t c = 0; c < from; ++c) {
        std::uint32_t v = Sample(picture, in + c * in_sample);
        if (picture.bits() == 16 && bits == 8) v >>= 8;
        if (picture.bits() == 8 && bits == 16) v *= 257;
        s[c] = v;
      }
      std::uint32_t result[4] = {s[0], s[1], s[2], from == 4 ? s[3] : opaque};
      if (from == 1) result[1] = result[2] = s[0];
      if (channels == 1 && from > 1) result[0] = (s[0] + s[1] + s[2]) / 3;
      for (std::int32_t c = 0; c < channels; ++c) Store(converted, out + c * out_sample, result[c]);
      in += in_sample * from;
      out += out_sample * channels;
    }
  }
  picture = std::move(converted);
  return kResultOk;
}

PicMap PicMap::Compute(double centre_x, double centre_y, double anchor_x, double anchor_y,
                       double angle, double zoom) noexcept {
  PicMap map{centre_x, centre_y, anchor_x, anchor_y, angle, zoom, 0, 0};
  if (zoom > 0) {
    map.cos_over_zoom = std::cos(angle) / zoom;
    map.sin_over_zoom = std::sin(angle) / zoom;
  }
  return map;
}

void PicMap::Source(std::int32_t x, std::int32_t y, double& u, double& v) const noexcept {
  const double dx = x + 0.5 - centre_x;
  const double dy = y + 0.5 - centre_y;
  u = anchor_x + dx * cos_over_zoom + dy * sin_over_zoom;
  v = anchor_y - dx * sin_over_zoom + dy * cos_over_zoom;
}

namespace {

// A map without rotation takes each column to one source column and each row
// to one source row: the indices are found once per column and row, from the
// same Source() arithmetic, so the result equals the pixel-by-pixel walk.
bool TransformUnrotated(ImageRecord& destination, const ImageRecord& source,
                        const PicMap& map) noexcept {
  HeapArray<std::int32_t> columns;
  HeapArray<std::int32_t> rows;
  if (!columns.Allocate(static_cast<std::size_t>(destination.width())) ||
      !rows.Allocate(static_cast<std::size_t>(destination.height()))) {
    return false;
  }
  double u = 0;
  double v = 0;
  for (std::int32_t x = 0; x < destination.width(); ++x) {
    map.Source(x, 0, u, v);
    const double su = std::floor(u);
    columns[static_cast<std::size_t>(x)] =
        su < 0 || su >= source.width() ? -1 : static_cast<std::int32_t>(su);
  }
  for (std::int32_t y = 0; y < destination.height(); ++y) {
    map.Source(0, y, u, v);
    const double sv = std::floor(v);
    rows[static_cast<std::size_t>(y)] =
        sv < 0 || sv >= source.height() ? -1 : static_cast<std::int32_t>(sv);
  }
  const std::size_t pixel = PixelBytes(source);
  for (std::int32_t y = 0; y < destination.height(); ++y) {
    const std::int32_t row = rows[static_cast<std::size_t>(y)];
    if (row < 0) continue;
    const std::uint8_t* in = source.Row<std::uint8_t>(row);
    std::uint8_t* out = destination.Row<std::uint8_t>(y);
    if (pixel == 3) {
      for (std::int32_t x = 0; x < destination.width(); ++x, out += 3) {
        const std::int32_t column = columns[static_cast<std::size_t>(x)];
        if (column >= 0) std::memcpy(out, in + static_cast<std::size_t>(column) * 3, 3);
      }
    } else {
      for (std::int32_t x = 0; x < destination.width(); ++x, out += pixel) {
        const std::int32_t column = columns[static_cast<std::size_t>(x)];
        if (column >= 0) std::memcpy(out, in + static_cast<std::size_t>(column) * pixel, pixel);
      }
    }
  }
  return true;
}

}  // namespace

std::uint8_t TransformConstantFast(ImageRecord& destination, const ImageRecord& source,
                                   const PicMap& map) noexcept {
  if (!(map.zoom > 0) || !destination.HasData() || !source.HasData() ||
      destination.channels() != source.channels() || destination.bits() != source.bits()) {
    return kResultRefused;
  }
  // The viewer's maps never rotate; redrawing a large window must stay quick.
  if (map.sin_over_zoom == 0 && TransformUnrotated(destination, source, map)) return kResultOk;
  const std::size_t pixel = PixelBytes(source);
  for (std::int32_t y = 0; y < destination.height(); ++y) {
    std::uint8_t* out = destination.Row<std::uint8_t>(y);
    for (std::int32_t x = 0; x < destination.width(); ++x, out += pixel) {
      double u = 0;
      double v = 0;
      map.Source(x, y, u, v);
      const double su = std::floor(u);
      const double sv = std::floor(v);
      if (su < 0 || sv < 0 || su >= source.width() || sv >= source.height()) continue;
      std::memcpy(out,
                  source.Row<std::uint8_t>(static_cast<std::int32_t>(sv)) +
                      static_cast<std::size_t>(su) * pixel,
                  pixel);
    }
  }
  return kResultOk;
}

}  // namespace pmk::picture_buffer
