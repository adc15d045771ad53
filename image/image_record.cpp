#include "image/image_record.h"

#include <cstring>
#include <limits>
#include <utility>

#include "image/checked_allocation.h"

namespace pmk {

ImageRecord::ImageRecord(ImageRecord&& other) noexcept {
  Swap(other);
}

ImageRecord& ImageRecord::operator=(ImageRecord&& other) noexcept {
  if (this != &other) {
    Release();
    Swap(other);
  }
  return *this;
}

ImageRecord::~ImageRecord() {
  Release();
}

std::uint8_t ImageRecord::Allocate(std::int32_t width, std::int32_t height, std::int32_t channels,
                                   std::int32_t bits) noexcept {
  Release();
  width_ = width;
  height_ = height;
  channels_ = channels;
  bits_ = bits;
  const std::int64_t stride = static_cast<std::int64_t>(width) * BytesPerSample() * channels;
  const std::int64_t size = stride * height;
  constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
  if (width < 0 || height < 0 || channels < 0 || bits < 0 || stride > kLargest || size > kLargest) {
    // The size field cannot describe such a buffer, so it cannot be had.
    stride_ = 0;
    size_ = 0;
    return kResultNoMemory;
  }
  stride_ = static_cast<std::int32_t>(stride);
  size_ = static_cast<std::int32_t>(size);
  data_ = static_cast<std::uint8_t*>(TryAllocate(static_cast<std::size_t>(size)));
  return data_ == nullptr ? kResultNoMemory : kResultOk;
}

void ImageRecord::Release() noexcept {
  Deallocate(data_);
  data_ = nullptr;
  size_ = stride_ = width_ = height_ = channels_ = bits_ = 0;
}

void ImageRecord::TransferFrom(ImageRecord& source) noexcept {
  if (this == &source) return;
  if (data_ != nullptr && size_ == source.size_ && source.data_ != nullptr) {
    // Same size: the destination keeps its buffer and takes a copy.
    std::memcpy(data_, source.data_, static_cast<std::size_t>(size_));
    stride_ = source.stride_;
    width_ = source.width_;
    height_ = source.height_;
    channels_ = source.channels_;
    bits_ = source.bits_;
    source.Release();
    return;
  }
  // Different sizes: taking over the source's buffer has the same effect as a
  // fresh buffer and a copy, and cannot fail.
  Release();
  Swap(source);
}

void ImageRecord::Swap(ImageRecord& other) noexcept {
  std::swap(data_, other.data_);
  std::swap(size_, other.size_);
  std::swap(stride_, other.stride_);
  std::swap(width_, other.width_);
  std::swap(height_, other.height_);
  std::swap(channels_, other.channels_);
  std::swap(bits_, other.bits_);
}

namespace {

// The top eight bits of a sample of `bits` bits, 255 at most.
template <class Sample>
std::uint8_t Narrowed(Sample sample, int shift) noexcept {
  const unsigned value = static_cast<unsigned>(sample) >> shift;
  return static_cast<std::uint8_t>(value >= 255 ? 255 : value);
}

// Fills the 8-bit record `out` from `in` of the same size: samples copied
// for the same channel count, the rounded-down mean for one channel out of
// several, one channel replicated into several; each narrowed to 8 bits.
template <class Sample>
void FillNarrowed(ImageRecord& out, const ImageRecord& in) noexcept {
  const std::int64_t pixels = static_cast<std::int64_t>(in.width()) * in.height();
  const auto* source = reinterpret_cast<const Sample*>(in.data());
  std::uint8_t* target = out.data();
  const int shift = in.bits() - 8;
  const std::int32_t from = in.channels();
  const std::int32_t to = out.channels();
  if (from == to) {
    for (std::int64_t i = 0; i < pixels * to; ++i) target[i] = Narrowed(source[i], shift);
  } else if (to == 1) {
    for (std::int64_t i = 0; i < pixels; ++i) {
      std::uint32_t sum = 0;
      for (std::int32_t c = 0; c < from; ++c) sum += source[i * from + c];
      target[i] = Narrowed(sum / static_cast<std::uint32_t>(from), shift);
    }
  } else {
    for (std::int64_t i = 0; i < pixels; ++i) {
      const std::uint8_t value = Narrowed(source[i], shift);
      for (std::int32_t c = 0; c < to; ++c) target[i * to + c] = value;
    }
  }
}

// Replaces the record by its 8-bit form with `channels` channels, converted
// straight into the one new buffer. A record already in that form stays as it
// is: a copy would only cost memory. False (record empty) when the new buffer
// cannot be had.
bool ReplaceBy8Bit(ImageRecord& record, std::int32_t channels) noexcept {
  if (record.bits() == 8 && record.channels() == channels) return true;
  ImageRecord converted;
  if (converted.Allocate(record.width(), record.height(), channels, 8) != kResultOk) {
    record.Release();
    return false;
  }
  if (record.bits() == 8) {
    FillNarrowed<std::uint8_t>(converted, record);
  } else {
    FillNarrowed<std::uint16_t>(converted, record);
  }
  record = std::move(converted);
  return true;
}

}  // namespace

void ConvertTo8BitColour(ImageRecord& record) noexcept {
  if (record.channels() != 1 && record.channels() != 3) return;
  if (record.data() == nullptr || (record.bits() != 8 && record.bits() != 16)) {
    record.Release();
    return;
  }
  ReplaceBy8Bit(record, 3);
}

bool ConvertTo8BitChannels(ImageRecord& record, std::int32_t channels) noexcept {
  if (record.channels() != 1 && record.channels() != channels && channels != 1) return false;
  if (channels <= 0 || record.data() == nullptr || (record.bits() != 8 && record.bits() != 16)) {
    return false;
  }
  return ReplaceBy8Bit(record, channels);
}

void ExtractChannel(ImageRecord& destination, std::int32_t channel,
                    const ImageRecord& source) noexcept {
  const std::int32_t step = source.channels();
  for (std::int32_t y = 0; y < source.height(); ++y) {
    const float* in = source.Row<float>(y);
    float* out = destination.Row<float>(y);
    for (std::int32_t x = 0; x < source.width(); ++x) out[x] = in[x * step + channel];
  }
}

}  // namespace pmk
