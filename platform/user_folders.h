// The per-user folders where programs keep their settings and their caches.
#pragma once

#include <filesystem>

namespace pmk::platform {

// $XDG_CONFIG_HOME when set and absolute, else ~/.config.
std::filesystem::path ConfigFolder();

// $XDG_CACHE_HOME when set and absolute, else ~/.cache.
std::filesystem::path CacheFolder();

}  // namespace pmk::platform
