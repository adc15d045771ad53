#include "plugin/library/selectors.h"

#include "plugin/library/about_box.h"
#include "plugin/library/host_parameters.h"
#include "plugin/library/pixel_transfer.h"
#include "plugin/library/plugin_state.h"
#include "plugin/viewer/window_loop.h"

namespace pmk::plugin {

using namespace host_api;

void DoAbout(const AboutRecord& about) {
  ShowAboutBox(about);
}

void DoParameters() {
  SetResult(CreateAndLockBlocks());
}

void DoPrepare() {
  SetResult(CreateOrLockBlocks());
  FilterRecord& filter = *State().filter;
  filter.bufferSpace = 0;
  long long width = 0;
  long long height = 0;
  FilterSize(filter, width, height);
  const long long planes = filter.planes + (filter.maskData != nullptr ? 1 : 0);
  const long long wanted = 2 * planes * width * height;
  if (wanted < filter.maxSpace) filter.maxSpace = static_cast<int32>(wanted);
}

void DoStart() {
  // A block that cannot be had ends the run here: nothing below may touch it.
  const OSErr locked = LockBlocks();
  if (locked != noErr) {
    SetResult(locked);
    return;
  }
  FilterRecord& filter = *State().filter;
  ParameterBlock& parameters = *State().parameters;
  ReadRegistryParameters(filter, parameters);
  const ParameterBlock kept = parameters;
  bool show_window = false;
  const OSErr read = ReadScriptingParameters(
      filter, parameters, State().data_block->ask_for_parameters != 0, show_window);

  ImageRecord& picture = State().picture;
  int window = 0;
  if (read == noErr && show_window) {
    // A refused request leaves the buffer empty; the window opens all the same.
    SetResult(FetchPicture(filter, picture));
    const auto* platform = static_cast<const PlatformData*>(filter.platformData);
    window = RunWindowLoop(picture, platform == nullptr ? 0 : platform->hwnd);
  }
  State().data_block->ask_for_parameters = 0;
  if (window == 0) {
    // Failures of the write-back are the host's to report; the run counts.
    SetResult(WriteBackPicture(filter, picture));
    SetResult(noErr);
  } else {
    parameters = kept;
    SetResult(userCanceledErr);
  }
  picture.Release();
}

void DoContinue() {
  EndPixelLoop(*State().filter);
}

void DoFinish() {
  const OSErr locked = LockBlocks();
  if (locked != noErr) {
    SetResult(locked);
    return;
  }
  WriteScriptingParameters(*State().filter, *State().parameters);
  WriteRegistryParameters(*State().filter, *State().parameters);
}

}  // namespace pmk::plugin
