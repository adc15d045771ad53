#include "plugin/library/plugin_blocks.h"

#include <cstring>

#include "plugin/library/plugin_state.h"

namespace pmk::plugin {
namespace {

using host_api::Handle;

Handle DataHandle() {
  return reinterpret_cast<Handle>(*State().data);
}

void InitialiseDataBlock() {
  if (State().data_block == nullptr) return;
  std::memset(State().data_block, 0, kDataBlockBytes);
  State().data_block->ask_for_parameters = 1;
}

// Set when the parameter block was created by this call: the host's fresh
// memory is not cleared, and its fields would otherwise reach the registry
// as whatever the memory held.
bool parameters_created = false;

void InitialiseNewParameterBlock() {
  if (parameters_created && State().parameters != nullptr)
    std::memset(State().parameters, 0, kParameterBlockBytes);
  parameters_created = false;
}

// Steps 1 and 2: the blocks that do not exist yet.
OSErr CreateMissingBlocks() {
  host_api::FilterRecord& filter = *State().filter;
  OSErr result = host_api::noErr;
  parameters_created = false;
  if (filter.parameters == nullptr) {
    filter.parameters = filter.handleProcs->newProc(kParameterBlockBytes);
    if (filter.parameters == nullptr) result = host_api::memFullErr;
    parameters_created = filter.parameters != nullptr;
  }
  if (*State().data == 0) {
    Handle block = filter.handleProcs->newProc(kDataBlockBytes);
    if (block == nullptr) {
      result = host_api::memFullErr;
    } else {
      *State().data = reinterpret_cast<std::intptr_t>(block);
    }
  }
  return result;
}

}  // namespace

OSErr LockBlocks() {
  host_api::FilterRecord& filter = *State().filter;
  State().parameters = nullptr;
  State().data_block = nullptr;
  if (filter.parameters == nullptr || DataHandle() == nullptr) return host_api::filterBadParameters;
  auto* parameters = filter.handleProcs->lockProc(filter.parameters, true);
  auto* data = filter.handleProcs->lockProc(DataHandle(), true);
  State().parameters = reinterpret_cast<ParameterBlock*>(parameters);
  State().data_block = reinterpret_cast<DataBlock*>(data);
  if (parameters == nullptr || data == nullptr) return host_api::memFullErr;
  return host_api::noErr;
}

OSErr CreateAndLockBlocks() {
  OSErr result = CreateMissingBlocks();
  if (result != host_api::noErr) return result;
  result = LockBlocks();
  InitialiseNewParameterBlock();
  InitialiseDataBlock();
  return result;
}

OSErr CreateOrLockBlocks() {
  if (State().filter->parameters != nullptr && DataHandle() != nullptr) return LockBlocks();
  OSErr result = CreateMissingBlocks();
  if (result == host_api::noErr) result = LockBlocks();
  InitialiseNewParameterBlock();
  InitialiseDataBlock();
  return result;
}

void UnlockBlocks() {
  host_api::FilterRecord& filter = *State().filter;
  if (DataHandle() != nullptr) filter.handleProcs->unlockProc(DataHandle());
  if (filter.parameters != nullptr) filter.handleProcs->unlockProc(filter.parameters);
  State().parameters = nullptr;
  State().data_block = nullptr;
}

}  // namespace pmk::plugin
