// A shared library (a DLL on Windows) loaded at run time, such as a filter
// plug-in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pmk::platform {

class LoadableLibrary {
 public:
  LoadableLibrary() = default;
  LoadableLibrary(const LoadableLibrary&) = delete;
  LoadableLibrary& operator=(const LoadableLibrary&) = delete;
  LoadableLibrary(LoadableLibrary&& other) noexcept;
  LoadableLibrary& operator=(LoadableLibrary&& other) noexcept;
  // Unloads the library: nothing taken from it may be used afterwards.
  ~LoadableLibrary();

  // Loads `file` (resolving all its symbols now); on failure the library
  // stays closed and the return value says why.
  std::optional<std::string> Open(const std::filesystem::path& file);
  bool IsOpen() const noexcept { return handle_ != nullptr; }

  // The address of the exported `name`; nullptr when there is none.
  void* Symbol(const char* name) const noexcept;

  // A copy of the resource of ASCII `type` and number `id` (Windows
  // resources); nothing when it is missing, and always nothing where
  // libraries carry no resources.
  std::optional<std::vector<std::uint8_t>> Resource(std::string_view type, int id) const;

 private:
  void Close() noexcept;

  void* handle_ = nullptr;
};

}  // namespace pmk::platform
