// How the engine reports progress and learns that it should stop.
#pragma once

#include <cstdint>

namespace pmk {

class ProgressNotifier {
 public:
  virtual ~ProgressNotifier() = default;
  // Progress report; only the plug-in's scale driver calls it.
  virtual void ReportStep(std::int32_t step) = 0;
  // False asks the running operation to stop at its next checkpoint.
  virtual bool ShouldContinue() = 0;
};

}  // namespace pmk
