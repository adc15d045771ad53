// Which folder entries the batch jobs take for pictures.
#pragma once

#include <string_view>

namespace pmk {

// True when the text from the last "." of `name`, in lower case, is ".bmp",
// ".jpg", ".jpeg", ".gif", ".tif", ".tiff" or ".png": the batch jobs hand
// such files to PMKCmd.
bool IsBatchImageName(std::string_view name);

// True when the text from the last "." is ".bmp", ".gif", ".jpg", ".tif" or
// ".png", ignoring case: the files the progress bar counts. ".jpeg" and
// ".tiff" files are processed but not counted.
bool IsCountedBatchImageName(std::string_view name);

}  // namespace pmk
