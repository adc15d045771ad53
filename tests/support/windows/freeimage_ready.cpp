// A statically linked FreeImage registers its format plug-ins only when
// initialised (the shared library does it as it loads); the tests call
// FreeImage directly, before any of the programs' code has.
#include "image/freeimage_session.h"

namespace {

const bool kFreeImageReady = (pmk::EnsureFreeImageReady(), true);

}  // namespace
