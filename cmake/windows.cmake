# The Windows x64 build (cmake/mingw-w64-x86_64.cmake): every library is
# linked statically from the prefix scripts/build-windows-deps.sh fills, and
# so is the compiler's runtime, so that each program and the plug-in are one
# file that runs on a bare Windows (and under Wine) without DLLs beside it.
if(NOT PMK_WINDOWS_DEPS)
  message(FATAL_ERROR "PMK_WINDOWS_DEPS is not set: configure with the prefix "
                      "scripts/build-windows-deps.sh prints")
endif()
list(PREPEND CMAKE_PREFIX_PATH ${PMK_WINDOWS_DEPS})

# Windows 10 and later; the wide-character API everywhere.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE NOMINMAX)
add_link_options(-static -static-libgcc -static-libstdc++)

# Debian's Qt 6 supplies the host tools (moc, rcc, uic) of the same version.
set(QT_HOST_PATH /usr CACHE PATH "Prefix of the host's Qt tools")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "The host Qt's CMake folder")

find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)

find_library(FREEIMAGE_LIBRARY freeimage REQUIRED)
find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
add_library(FreeImage::FreeImage STATIC IMPORTED)
set_target_properties(FreeImage::FreeImage PROPERTIES
  IMPORTED_LOCATION "${FREEIMAGE_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${FREEIMAGE_INCLUDE_DIR}"
  INTERFACE_COMPILE_DEFINITIONS FREEIMAGE_LIB
  INTERFACE_LINK_LIBRARIES "TIFF::TIFF;PNG::PNG;JPEG::JPEG;ZLIB::ZLIB")

# nlohmann-json is headers only: Debian's, without the rest of the host's
# include folder.
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${PMK_WINDOWS_DEPS}/include/json")
