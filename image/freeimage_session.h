// Process-wide set-up of FreeImage and the codec libraries under it.
#pragma once

#include <FreeImage.h>

#include <filesystem>
#include <string>

namespace pmk {

// Initialises FreeImage once and routes its messages, and libtiff's warnings
// and errors, away from standard output and standard error: our programs'
// output is an interface, and a codec's chatter must not reach it. Call
// before any FreeImage use; cheap after the first call.
void EnsureFreeImageReady() noexcept;

// The last message FreeImage or libtiff reported on this thread, for tools
// and tests that want to show why a file could not be read or written.
std::string LastCodecMessage();
void ClearLastCodecMessage() noexcept;

// The formats the system reads. FreeImage decodes many more, but several of
// its other readers carry published, unfixed memory-safety flaws, and the
// format is taken from the file's content, so anything else is refused.
bool IsReadableFormat(FREE_IMAGE_FORMAT format) noexcept;
// The plug-in's reader additionally recognises GIF (which it then refuses as
// unsupported: the format is known, but not read).
bool IsPluginRecognisedFormat(FREE_IMAGE_FORMAT format) noexcept;

// Format by content, else by name; FIF_UNKNOWN when neither tells.
FREE_IMAGE_FORMAT DetectFileFormat(const std::filesystem::path& name) noexcept;

// Format by the name's extension alone; FIF_UNKNOWN when it tells nothing.
FREE_IMAGE_FORMAT FormatFromFileName(const std::filesystem::path& name) noexcept;

}  // namespace pmk
