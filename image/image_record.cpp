#include "image/image_record.h"

#include <cstring>
#include <limits>
#include <utility>

#include "image/checked_allocation.h"

namespace pmk {

ImageRecord::ImageRecord(ImageRecord&& other) noexcept { Swap(other); }

ImageRecord& ImageRecord::operator=(ImageRecord&& other) noexcept {
  if (this != &other) {
    Release();
    Swap(other);
  }
  return *this;
}

ImageRecord::~ImageRecord() { Release(); }

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
  if (width < 0 || height < 0 || channels < 0 || bits < 0 || stride > kLargest ||
      size > kLargest) {
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

// Narrows a work buffer of `count` samples of `bits` bits to bytes: 8-bit
// samples are copied, wider ones keep their top eight bits.
void NarrowSamples(std::uint8_t* out, const std::uint8_t* work, std::size_t count,
                   std::int32_t bits) noexcept {
  if (bits == 8) {
    std::memcpy(out, work, count);
    return;
  }
  const auto* wide = reinterpret_cast<const std::uint16_t*>(work);
  const int shift = bits - 8;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned v = static_cast<unsigned>(wide[i]) >> shift;
    out[i] = static_cast<std::uint8_t>(v >= 255 ? 255 : v);
  }
}

template <class Sample>
void FillColourWork(Sample* work, const ImageRecord& record) noexcept {
  const std::int64_t pixels = static_cast<std::int64_t>(record.width()) * record.height();
  const auto* in = reinterpret_cast<const Sample*>(record.data());
  if (record.channels() == 3) {
    std::memcpy(work, in, static_cast<std::size_t>(pixels) * 3 * sizeof(Sample));
    return;
  }
  for (std::int64_t i = 0; i < pixels; ++i) {
    work[3 * i] = work[3 * i + 1] = work[3 * i + 2] = in[i];
  }
}

template <class Sample>
void FillChannelWork(Sample* work, const ImageRecord& record, std::int32_t channels) noexcept {
  const std::int64_t pixels = static_cast<std::int64_t>(record.width()) * record.height();
  const auto* in = reinterpret_cast<const Sample*>(record.data());
  const std::int32_t from = record.channels();
  if (from == channels) {
    std::memcpy(work, in, static_cast<std::size_t>(pixels) * channels * sizeof(Sample));
  } else if (channels == 1) {
    for (std::int64_t i = 0; i < pixels; ++i) {
      std::uint32_t sum = 0;
      for (std::int32_t c = 0; c < from; ++c) sum += in[i * from + c];
      work[i] = static_cast<Sample>(sum / static_cast<std::uint32_t>(from));
    }
  } else {
    for (std::int64_t i = 0; i < pixels; ++i) {
      for (std::int32_t c = 0; c < channels; ++c) work[i * channels + c] = in[i];
    }
  }
}

// Replaces the record's buffer by `channels` 8-bit channels narrowed from the
// work buffer. False (record empty) when the new buffer cannot be had.
bool NarrowInto(ImageRecord& record, const HeapArray<std::uint8_t>& work,
                std::int32_t channels) noexcept {
  const std::int32_t bits = record.bits();
  const std::int32_t width = record.width();
  const std::int32_t height = record.height();
  if (record.Allocate(width, height, channels, 8) != kResultOk) {
    record.Release();
    return false;
  }
  NarrowSamples(record.data(), work.data(), static_cast<std::size_t>(record.size()), bits);
  return true;
}

}  // namespace

void ConvertTo8BitColour(ImageRecord& record) noexcept {
  if (record.channels() != 1 && record.channels() != 3) return;
  if (record.data() == nullptr || (record.bits() != 8 && record.bits() != 16)) {
    record.Release();
    return;
  }
  HeapArray<std::uint8_t> work;
  const std::size_t samples = static_cast<std::size_t>(record.width()) * record.height() * 3;
  if (!work.Allocate(samples * record.BytesPerSample())) {
    record.Release();
    return;
  }
  if (record.bits() == 8) {
    FillColourWork(work.data(), record);
  } else {
    FillColourWork(reinterpret_cast<std::uint16_t*>(work.data()), record);
  }
  NarrowInto(record, work, 3);
}

bool ConvertTo8BitChannels(ImageRecord& record, std::int32_t channels) noexcept {
  if (record.channels() != 1 && record.channels() != channels && channels != 1) return false;
  if (channels <= 0 || record.data() == nullptr || (record.bits() != 8 && record.bits() != 16)) {
    return false;
  }
  HeapArray<std::uint8_t> work;
  const std::size_t samples = static_cast<std::size_t>(record.width()) * record.height() * channels;
  if (!work.Allocate(samples * record.BytesPerSample())) {
    record.Release();
    return false;
  }
  if (record.bits() == 8) {
    FillChannelWork(work.data(), record, channels);
  } else {
    FillChannelWork(reinterpret_cast<std::uint16_t*>(work.data()), record, channels);
  }
  return NarrowInto(record, work, channels);
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
