// The one entry point of the filter library. Nothing may escape it into the
// host: every exception ends as a result code.
#include <cstdint>
#include <new>

#include "plugin/library/exported.h"
#include "plugin/library/plugin_state.h"
#include "plugin/library/selectors.h"

namespace pmk::plugin {

PluginState& State() {
  static PluginState state;
  return state;
}

namespace {

using namespace host_api;

void Dispatch(int16 selector, void* block) {
  if (selector == filterSelectorAbout) {
    DoAbout(*static_cast<AboutRecord*>(block));
    return;
  }
  FilterRecord& filter = *State().filter;
  if (filter.handleProcs == nullptr) {
    *State().result = filterBadParameters;
    return;
  }
  if (filter.bigDocumentData != nullptr) filter.bigDocumentData->PluginUsing32BitCoordinates = 1;
  switch (selector) {
    case filterSelectorParameters:
      DoParameters();
      break;
    case filterSelectorPrepare:
      DoPrepare();
      break;
    case filterSelectorStart:
      DoStart();
      break;
    case filterSelectorContinue:
      DoContinue();
      break;
    case filterSelectorFinish:
      DoFinish();
      break;
    default:
      break;
  }
  UnlockBlocks();
}

}  // namespace
}  // namespace pmk::plugin

extern "C" PMK_EXPORTED void PluginMain(pmk::plugin::host_api::int16 selector, void* block,
                                        std::intptr_t* data, pmk::plugin::host_api::int16* result) {
  using namespace pmk::plugin;
  if (result == nullptr || block == nullptr) return;
  if (data == nullptr && selector != host_api::filterSelectorAbout) {
    *result = host_api::filterBadParameters;
    return;
  }
  PluginState& state = State();
  state.result = result;
  state.data = data;
  state.filter = selector == host_api::filterSelectorAbout
                     ? nullptr
                     : static_cast<host_api::FilterRecord*>(block);
  try {
    Dispatch(selector, block);
  } catch (const std::bad_alloc&) {
    *result = host_api::memFullErr;
  } catch (...) {
    *result = host_api::filterBadParameters;
  }
  // The picture never outlives a call, whatever happened inside it.
  state.picture.Release();
}
