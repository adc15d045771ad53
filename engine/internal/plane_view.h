// Float planes and masks seen through a pointer and a size.
//
// A search reuses the same working memory for every scale it tries, while
// each scale's planes have their own size; a view gives a buffer the geometry
// of the scale at hand without obtaining a new one. Rows are packed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "image/checked_allocation.h"
#include "image/image_record.h"

namespace pmk {

template <class T>
struct PlaneView {
  T* data = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;

  T* Row(std::int32_t y) const noexcept { return data + static_cast<std::ptrdiff_t>(y) * width; }
  bool HasData() const noexcept { return data != nullptr; }
  std::size_t Samples() const noexcept {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  }
  operator PlaneView<const T>() const noexcept requires(!std::is_const_v<T>) {
    return {data, width, height};
  }
};

using FloatPlane = PlaneView<float>;
using ConstFloatPlane = PlaneView<const float>;
using ConstMaskPlane = PlaneView<const std::uint16_t>;

// Views of a one-channel float record (callers check the layout).
inline FloatPlane FloatPlaneOf(ImageRecord& record) noexcept {
  return {record.Floats(), record.width(), record.height()};
}
inline ConstFloatPlane FloatPlaneOf(const ImageRecord& record) noexcept {
  return {record.Floats(), record.width(), record.height()};
}

// Makes `array` hold at least `count` elements, keeping none of them. An
// array that already does is left as it is; one that must grow grows by half
// at least, so buffers that follow rising scales are seldom replaced. False
// (and an empty array) when the memory cannot be had.
template <class T>
bool EnsureCapacity(HeapArray<T>& array, std::size_t count) noexcept {
  if (array.size() >= count && !array.empty()) return true;
  const std::size_t grown = array.size() + array.size() / 2;
  if (grown > count && array.Allocate(grown)) return true;
  return array.Allocate(count);
}

// The same without the extra half, for buffers sized once for their largest use.
template <class T>
bool EnsureExactCapacity(HeapArray<T>& array, std::size_t count) noexcept {
  if (array.size() >= count && !array.empty()) return true;
  return array.Allocate(count);
}

}  // namespace pmk
