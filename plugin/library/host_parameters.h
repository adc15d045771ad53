// Exchanging the parameter block's fields with the host: its scripting
// (descriptor parameters) and its descriptor registry.
#pragma once

#include "plugin/interface/host_interface.h"
#include "plugin/library/plugin_blocks.h"

namespace pmk::plugin {

// Reads the last-used values stored under the registry key into `block`;
// each field only when the one before it was read. -30900 without the basic
// suite.
host_api::OSErr ReadRegistryParameters(const host_api::FilterRecord& filter, ParameterBlock& block);
// Stores amount, disposition and ignore selection under the registry key,
// persistently.
host_api::OSErr WriteRegistryParameters(const host_api::FilterRecord& filter,
                                        const ParameterBlock& block);

// Reads the scripting descriptor, when the host supplies one, into `block`
// and consumes it. `show_window` starts as `ask_for_parameters` and, when a
// descriptor was read, becomes whether the host asks for dialogs. Returns the
// descriptor's close code, or -19 when it held an unexpected key.
host_api::OSErr ReadScriptingParameters(host_api::FilterRecord& filter, ParameterBlock& block,
                                        bool ask_for_parameters, bool& show_window);
// Records the parameters for scripting; -1715 when no write descriptor opens.
host_api::OSErr WriteScriptingParameters(host_api::FilterRecord& filter,
                                         const ParameterBlock& block);

}  // namespace pmk::plugin
