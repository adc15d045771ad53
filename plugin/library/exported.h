// What the plug-in library shows its hosts: on Windows its exports, elsewhere
// its default-visibility symbols (everything else is hidden).
#pragma once

#ifdef _WIN32
#define PMK_EXPORTED __declspec(dllexport)
#else
#define PMK_EXPORTED __attribute__((visibility("default")))
#endif
