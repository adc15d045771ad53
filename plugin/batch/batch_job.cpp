#include "plugin/batch/batch_job.h"

#include "platform/utf8_path.h"
#include "plugin/batch/batch_cancel.h"
#include "plugin/batch/batch_image_names.h"

namespace pmk {

std::atomic<std::uint8_t> BatchCancel{0};

namespace {

using platform::PathFromUtf8;

bool IsCancelled() {
  return BatchCancel.load() == 1;
}

BatchJob OpenJob(const std::filesystem::path& folder, BatchKind kind) {
  BatchJob job;
  job.folder = folder;
  job.output_folder = kind == BatchKind::kSigning ? folder / kSignedFolderName : folder;
  job.output_ready = kind == BatchKind::kDetection;
  // An unreadable folder is a level without entries.
  if (auto entries = platform::ListFolder(folder)) job.entries = std::move(*entries);
  return job;
}

// Whether the walk enters this subfolder at all.
bool EntersFolder(const std::filesystem::path& parent, const platform::FolderEntry& entry,
                  BatchKind kind) {
  if (kind == BatchKind::kSigning && entry.name == kSignedFolderName) return false;
  return platform::NativeNameLength(platform::Utf8FromPath(parent / PathFromUtf8(entry.name))) <=
         kMaxBatchFolderLength;
}

void HandOn(const BatchRequest& request, BatchKind kind, BatchJob& job, const std::string& name) {
  const std::filesystem::path input = job.folder / PathFromUtf8(name);
  if (kind == BatchKind::kSigning) {
    // PMKCmd does not create folders; the "signed" folder must exist before
    // the first output path inside it is handed on.
    if (!job.output_ready) {
      job.output_ready = platform::EnsureFolder(job.output_folder, 0777);
    }
    RunSignerProcess(request.pmk_cmd, input, job.output_folder / PathFromUtf8(name),
                     request.signature.substr(0, kMaxBatchSignatureLength),
                     job.output_folder / kSigningLogName);
  } else {
    RunDetectorProcess(request.pmk_cmd, input, job.output_folder / kDetectingLogName);
  }
  if (request.file_done && IsCountedBatchImageName(name)) request.file_done();
}

// PMKCmd takes a name without a folder from its own folder, and a relative
// one from the folder it was started in: it gets full paths only.
std::filesystem::path FullPath(const std::filesystem::path& folder) {
  if (folder.is_absolute()) return folder;
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(folder, error);
  return error ? folder : full.lexically_normal();
}

void RunBatchWalk(const BatchRequest& request, BatchKind kind) {
  std::vector<BatchJob> levels;
  levels.push_back(OpenJob(FullPath(request.folder), kind));
  while (!levels.empty() && !IsCancelled()) {
    BatchJob& job = levels.back();
    if (job.current == job.entries.size()) {
      levels.pop_back();
      continue;
    }
    const platform::FolderEntry& entry = job.entries[job.current++];
    if (entry.is_folder) {
      // A folder is never a picture, whatever its name says.
      if (request.recursive && EntersFolder(job.folder, entry, kind)) {
        BatchJob deeper = OpenJob(job.folder / PathFromUtf8(entry.name), kind);
        levels.push_back(std::move(deeper));  // `job` and `entry` are invalid from here on
      }
    } else if (IsBatchImageName(entry.name)) {
      HandOn(request, kind, job, entry.name);
    }
  }
}

}  // namespace

void RunBatchSigning(const BatchRequest& request) {
  RunBatchWalk(request, BatchKind::kSigning);
}

void RunBatchDetection(const BatchRequest& request) {
  RunBatchWalk(request, BatchKind::kDetection);
}

std::uint32_t CountImagesInTree(const std::filesystem::path& folder, bool recursive,
                                BatchKind kind) {
  std::uint32_t count = 0;
  std::vector<std::filesystem::path> pending = {folder};
  while (!pending.empty()) {
    const std::filesystem::path current = std::move(pending.back());
    pending.pop_back();
    const auto entries = platform::ListFolder(current);
    if (!entries) continue;
    for (const platform::FolderEntry& entry : *entries) {
      if (entry.is_folder) {
        if (recursive && EntersFolder(current, entry, kind))
          pending.push_back(current / PathFromUtf8(entry.name));
      } else if (IsCountedBatchImageName(entry.name)) {
        ++count;
      }
    }
  }
  return count;
}

}  // namespace pmk
