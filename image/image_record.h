// The one picture record of the system.
//
// An interleaved sample buffer with its geometry: rows top to bottom, packed
// (stride = width * bytes per sample * channels), three-channel pixels stored
// blue, green, red. The same record holds 8-bit colour pictures, 16-bit
// pictures straight from a file, one-channel alpha planes and the engine's
// one-channel 32-bit float planes. An empty record has every field zero.
//
// The record owns its buffer and is move-only; nothing here throws.
#pragma once

#include <cstdint>

#include "image/result_codes.h"

namespace pmk {

class ImageRecord {
 public:
  ImageRecord() = default;
  ImageRecord(const ImageRecord&) = delete;
  ImageRecord& operator=(const ImageRecord&) = delete;
  ImageRecord(ImageRecord&& other) noexcept;
  ImageRecord& operator=(ImageRecord&& other) noexcept;
  ~ImageRecord();

  // Releases the old buffer, takes the new geometry and obtains an
  // uninitialised buffer. Returns 0, or 6 when the buffer cannot be obtained
  // (data is then null while the geometry keeps the new values). A buffer
  // whose byte count does not fit the 32-bit size field cannot be obtained.
  std::uint8_t Allocate(std::int32_t width, std::int32_t height, std::int32_t channels,
                        std::int32_t bits) noexcept;

  // Releases the buffer and zeroes every field.
  void Release() noexcept;

  // Takes the source's geometry and contents, reusing this record's buffer when
  // the sizes agree; the source ends empty. When a needed buffer cannot be
  // obtained, this record ends empty and the source is released all the same.
  void TransferFrom(ImageRecord& source) noexcept;

  // Exchanges buffers and geometry.
  void Swap(ImageRecord& other) noexcept;

  std::uint8_t* data() noexcept { return data_; }
  const std::uint8_t* data() const noexcept { return data_; }
  std::int32_t size() const noexcept { return size_; }
  std::int32_t stride() const noexcept { return stride_; }
  std::int32_t width() const noexcept { return width_; }
  std::int32_t height() const noexcept { return height_; }
  std::int32_t channels() const noexcept { return channels_; }
  std::int32_t bits() const noexcept { return bits_; }
  std::int32_t BytesPerSample() const noexcept { return (bits_ + 7) / 8; }
  bool HasData() const noexcept { return data_ != nullptr; }

  template <class T>
  T* Row(std::int32_t y) noexcept {
    return reinterpret_cast<T*>(data_ + static_cast<std::int64_t>(y) * stride_);
  }
  template <class T>
  const T* Row(std::int32_t y) const noexcept {
    return reinterpret_cast<const T*>(data_ + static_cast<std::int64_t>(y) * stride_);
  }
  float* Floats() noexcept { return reinterpret_cast<float*>(data_); }
  const float* Floats() const noexcept { return reinterpret_cast<const float*>(data_); }

 private:
  std::uint8_t* data_ = nullptr;
  std::int32_t size_ = 0;
  std::int32_t stride_ = 0;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::int32_t channels_ = 0;
  std::int32_t bits_ = 0;
};

// Converts a one- or three-channel record of 8 or 16 bits into three 8-bit
// channels (one channel is replicated; 16-bit samples keep their high byte).
// Other channel counts are left alone, and so is a record that already has
// three 8-bit channels (its buffer too). When memory runs out the record ends
// empty, which every caller treats as an unsupported picture.
void ConvertTo8BitColour(ImageRecord& record) noexcept;

// Converts a record into `channels` channels of 8 bits: the samples narrowed
// for the same count (an 8-bit record keeps its buffer), the rounded-down mean
// of the samples for one channel, replication from one channel. Fails (record
// unchanged) for any other combination; fails with an empty record when
// memory runs out.
bool ConvertTo8BitChannels(ImageRecord& record, std::int32_t channels) noexcept;

// Copies the 32-bit samples of one channel of `source` into `destination`,
// which must already be a one-channel 32-bit record of the source's size.
void ExtractChannel(ImageRecord& destination, std::int32_t channel,
                    const ImageRecord& source) noexcept;

}  // namespace pmk
