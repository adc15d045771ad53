// The signature engine: common rules for every operation in this folder.
//
// Results. Operations return an unsigned 8-bit code: 0 success (found,
// signed), 1 refused, stopped or not found, 6 not enough memory. A caller
// passes 6 on unchanged. The engine never throws and never prints; every
// buffer it obtains comes from TryAllocate (image/checked_allocation.h) and is
// released on every path out of the call.
//
// Planes. Pictures are ImageRecords with rows top to bottom and packed pixels
// stored blue, green, red (then alpha). Working planes are one-channel 32-bit
// float records. Channel 0 (blue) carries the mark; channels 1 and 2 (green,
// red) guide the search for regions and are never changed.
//
// Numbers. Single and double precision are used exactly where the algorithms
// say, and sums run in the stated order, so that pictures signed by any build
// read back in any other.
//
// Process-wide values (process_state.h). CoreCount is the number of search
// threads including the caller; StopRequested, when nonzero, asks every
// running operation to stop at its next checkpoint; FoundSlot is -1 while no
// search thread has found a signature, else that thread's number.
//
// Notifiers (progress_notifier.h) report progress and may ask to stop.
#pragma once

#include "engine/candidate_rect.h"
#include "engine/process_state.h"
#include "engine/progress_notifier.h"
#include "image/image_record.h"
