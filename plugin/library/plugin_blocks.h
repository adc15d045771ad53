// The two blocks the plug-in keeps in the host between calls: the host
// parameter block (140 bytes, in the filter record's `parameters`) and the
// plug-in data block (28 bytes, behind the entry point's data pointer).
#pragma once

#include <cstddef>
#include <cstdint>

#include "plugin/interface/host_interface.h"

namespace pmk::plugin {

inline constexpr std::int32_t kParameterBlockBytes = 140;
inline constexpr std::int32_t kDataBlockBytes = 28;

// The leading fields of the parameter block; the rest is unused.
struct ParameterBlock {
  std::int16_t amount;
  std::int16_t disposition;
  std::uint8_t ignore_selection;
};
static_assert(offsetof(ParameterBlock, amount) == 0);
static_assert(offsetof(ParameterBlock, disposition) == 2);
static_assert(offsetof(ParameterBlock, ignore_selection) == 4);
static_assert(sizeof(ParameterBlock) <= kParameterBlockBytes);

struct DataBlock {
  std::uint8_t ask_for_parameters;
};
static_assert(sizeof(DataBlock) <= kDataBlockBytes);

// Results of the block operations.
using host_api::OSErr;

// Parameters: create missing blocks, lock them and initialise the data block.
OSErr CreateAndLockBlocks();
// Prepare: lock existing blocks, leaving the data block as it is; create and
// initialise them when either is missing.
OSErr CreateOrLockBlocks();
// Start and Finish: lock both; -30100 when one is missing, -108 when a lock
// yields nothing. A block whose lock failed is never touched.
OSErr LockBlocks();
// After every selector but About.
void UnlockBlocks();

}  // namespace pmk::plugin
