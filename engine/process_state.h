// Values shared by every operation of the engine in one process.
#pragma once

#include <atomic>
#include <cstdint>

namespace pmk {

// Search threads, including the calling thread (the command line sets it).
extern std::atomic<std::uint8_t> CoreCount;
// Nonzero when the user has cancelled; polled at every checkpoint.
extern std::atomic<std::int32_t> StopRequested;
// -1 while nothing is found, else the number of the thread that found it.
extern std::atomic<std::int32_t> FoundSlot;

}  // namespace pmk
