// What the plug-in keeps from call to call while it is loaded.
#pragma once

#include <cstdint>

#include "image/image_record.h"
#include "plugin/interface/host_interface.h"
#include "plugin/interface/host_interface_layout.h"
#include "plugin/library/plugin_blocks.h"

namespace pmk::plugin {

struct PluginState {
  // The current call's arguments.
  host_api::FilterRecord* filter = nullptr;
  std::intptr_t* data = nullptr;
  host_api::int16* result = nullptr;
  // The blocks, while locked.
  ParameterBlock* parameters = nullptr;
  DataBlock* data_block = nullptr;
  // The host picture buffer: empty between runs.
  ImageRecord picture;
};

PluginState& State();

inline void SetResult(host_api::OSErr code) {
  *State().result = code;
}
inline host_api::OSErr Result() {
  return *State().result;
}

}  // namespace pmk::plugin
