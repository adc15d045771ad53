// Batch signing and batch detection of a folder tree.
//
// Every picture of a folder (and, with recursion, of its subfolders) is handed
// to PMKCmd, one process per file. Signing writes into a "signed" subfolder of
// each processed folder with the log "signing_output.log" there; detection
// appends to "detecting_output.log" in each processed folder. Both logs are
// written by PMKCmd alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/folder_search.h"
#include "plugin/batch/pmk_cmd_process.h"

namespace pmk {

enum class BatchKind { kSigning, kDetection };

inline constexpr const char* kSignedFolderName = "signed";
inline constexpr const char* kSigningLogName = "signing_output.log";
inline constexpr const char* kDetectingLogName = "detecting_output.log";
// The longest folder path a job takes on (counted as the system counts file
// names: UTF-16 units on Windows, bytes elsewhere); deeper folders whose path
// would be longer are left alone, by the walk and the count alike.
inline constexpr std::size_t kMaxBatchFolderLength = 1024;
// Only the first 10 characters of a signature are ever embedded.
inline constexpr std::size_t kMaxBatchSignatureLength = 10;

// Everything a job needs, filled in by the viewer before the worker starts.
struct BatchRequest {
  // Which walk the worker runs.
  BatchKind kind = BatchKind::kDetection;
  std::filesystem::path folder;
  // Batch signing only.
  std::string signature;
  bool recursive = false;
  PmkCmdSettings pmk_cmd;
  // Called on the worker thread after each counted file (IsCountedBatchImageName)
  // has been handed to PMKCmd and PMKCmd has ended, so the progress reaches
  // exactly the count of CountImagesInTree. Must not wait for the viewer's
  // thread: the viewer may itself be waiting for the worker.
  std::function<void()> file_done;
};

// One folder level of a walk: the folder, where its results go, and the
// folder's entries with the one to look at next.
struct BatchJob {
  std::filesystem::path folder;
  // Batch signing: folder/"signed"; batch detection: the folder again.
  std::filesystem::path output_folder;
  std::vector<platform::FolderEntry> entries;
  std::size_t current = 0;
  // Set once the output folder exists (batch signing creates it before its
  // first file).
  bool output_ready = false;
};

// The walks. Each level below the first is a BatchJob on an explicit stack, so
// deep trees need no large thread stack. Both stop at the next entry once
// BatchCancel is 1 and leave BatchCancel as they found it.
void RunBatchSigning(const BatchRequest& request);
void RunBatchDetection(const BatchRequest& request);

// The number of files the progress bar counts (IsCountedBatchImageName) in
// `folder` and, when `recursive`, in its subfolders; batch signing leaves its
// "signed" folders out because it never enters them.
std::uint32_t CountImagesInTree(const std::filesystem::path& folder, bool recursive,
                                BatchKind kind);

}  // namespace pmk
