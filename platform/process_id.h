// The number of the running process, for names no other process picks.
#pragma once

namespace pmk::platform {

unsigned long ProcessId() noexcept;

}  // namespace pmk::platform
