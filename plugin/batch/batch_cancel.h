// The stop flag of the running batch job.
#pragma once

#include <atomic>
#include <cstdint>

namespace pmk {

// 1 when the user cancelled the batch job (or the viewer is closing). The job
// reads it before each folder entry and after each file, so the file PMKCmd
// is working on is always finished; the job sets it back to 0 when it ends.
// Distinct from the stop flag the viewer hands the engine.
extern std::atomic<std::uint8_t> BatchCancel;

}  // namespace pmk
