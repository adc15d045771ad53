// What both systems' halves share: the handle's ownership.
#include "platform/loadable_library.h"

#include <utility>

namespace pmk::platform {

LoadableLibrary::LoadableLibrary(LoadableLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

LoadableLibrary& LoadableLibrary::operator=(LoadableLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

LoadableLibrary::~LoadableLibrary() {
  Close();
}

}  // namespace pmk::platform
