// How many processors this process may run on.
#pragma once

namespace pmk::platform {

// The number of bit positions up to the highest processor in the process's
// affinity mask (at least 1).
int ProcessorCount() noexcept;

}  // namespace pmk::platform
