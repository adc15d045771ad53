// One function per selector of PluginMain; each writes its result through
// the state's result pointer.
#pragma once

#include "plugin/interface/host_interface.h"

namespace pmk::plugin {

void DoAbout(const host_api::AboutRecord& about);
void DoParameters();
void DoPrepare();
void DoStart();
void DoContinue();
void DoFinish();

}  // namespace pmk::plugin
