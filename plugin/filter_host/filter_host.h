// A real filter host: it serves one document to a loaded filter library
// through the filter record, as the photo editor does, and records every
// selector, result code and advanceState request in its log.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin/filter_host/host_descriptors.h"
#include "plugin/interface/host_interface.h"

namespace pmk::plugin {

// The document's pixels, interleaved red, green, blue (, alpha).
struct HostDocument {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t channels = 3;
  std::vector<std::uint8_t> pixels;
};

struct HostSettings {
  bool big_document = true;           // offer bigDocumentData (32-bit coordinates)
  bool descriptor_parameters = true;  // offer scripting
  bool basic_suite = true;            // offer the registry through the basic suite
  std::int32_t max_space = 1 << 30;
  std::filesystem::path registry_file;  // empty: the registry is not kept
};

// Ways the host can be made to fail, for tests.
struct HostFaults {
  std::int32_t fail_new_of_size = 0;  // newProc of this size returns nothing
  int fail_lock_from_call = 0;        // lockProc calls from this one on (1-based) fail
  bool refuse_input = false;          // advanceState refuses input requests
  bool refuse_output = false;         // advanceState refuses output requests
};

class FilterHost {
 public:
  FilterHost(host_api::PluginMainProc entry, HostDocument document, HostSettings settings);
  FilterHost(const FilterHost&) = delete;
  FilterHost& operator=(const FilterHost&) = delete;
  ~FilterHost();

  // One call of the entry point; the result it wrote.
  host_api::int16 Call(host_api::int16 selector);
  host_api::int16 About();
  // A run of the filter: Parameters (unless repeating), Prepare, Start,
  // Continue until the plug-in asks for nothing more, Finish. Repeating plays
  // the last recorded parameters without dialog. Stops at the first failure.
  host_api::int16 RunFilter(bool repeat);

  HostDocument& document() { return document_; }
  HostFaults& faults() { return faults_; }
  host_api::FilterRecord& record() { return record_; }
  host_api::PIDescriptorParameters& descriptor_parameters() { return descriptor_parameters_; }
  std::intptr_t data() const { return data_; }
  const std::vector<std::string>& log() const { return log_; }
  void SetLogFile(const std::filesystem::path& file) { log_file_ = file; }

  // The descriptor the last Finish recorded, and the one a repeat plays.
  const std::optional<Descriptor>& recorded() const { return recorded_; }
  void SetRecorded(Descriptor descriptor) { recorded_ = std::move(descriptor); }
  // Puts `descriptor` in the record for the next Start, as an action would.
  void PlayDescriptor(const Descriptor& descriptor, host_api::int16 play_info);

  const std::map<std::string, Descriptor>& registry() const { return registry_; }
  // Handles created so far and still alive; suites acquired and not released.
  int handles_created() const { return handles_created_; }
  int plugin_new_calls() const { return plugin_new_calls_; }
  std::size_t live_handles() const { return handles_.size(); }
  int suites_held() const { return suites_held_; }
  std::size_t live_action_descriptors() const { return action_descriptors_.size(); }
  // Bytes of a handle (the blocks included).
  std::vector<char>* HandleBytes(host_api::Handle handle);

  // The host's own procedures; only one host serves a plug-in at a time.
  struct Procs;

 private:
  struct HostHandle {
    char* master = nullptr;
    std::vector<char> bytes;
    int locks = 0;
  };
  struct Request {
    host_api::VRect rect{};
    int lo = 0, hi = -1;
    bool Empty() const { return rect.bottom <= rect.top || rect.right <= rect.left || hi < lo; }
  };

  host_api::Handle NewHandle(std::int32_t size, bool may_fail);
  void DisposeHandle(host_api::Handle handle);
  host_api::OSErr AdvanceState();
  Request CurrentRequest(bool input) const;
  bool Valid(const Request& request) const;
  void CommitOutput();
  void Log(const std::string& line);
  void LoadRegistry();
  void SaveRegistry() const;

  host_api::PluginMainProc entry_;
  HostDocument document_;
  HostSettings settings_;
  HostFaults faults_;
  host_api::FilterRecord record_{};
  host_api::BigDocumentStruct big_document_{};
  host_api::PIDescriptorParameters descriptor_parameters_{};
  std::intptr_t data_ = 0;
  std::map<host_api::Handle, std::unique_ptr<HostHandle>> handles_;
  int handles_created_ = 0;
  int plugin_new_calls_ = 0;
  int lock_calls_ = 0;
  int suites_held_ = 0;
  std::vector<std::uint8_t> in_buffer_;
  std::vector<std::uint8_t> out_buffer_;
  std::optional<Request> pending_output_;
  struct Reader {
    Descriptor items;
    std::size_t next = 0;
    DescriptorItem current;
  };
  std::map<host_api::PIReadDescriptor, std::unique_ptr<Reader>> readers_;
  std::map<host_api::PIWriteDescriptor, std::unique_ptr<Descriptor>> writers_;
  std::map<host_api::PIActionDescriptor, std::unique_ptr<Descriptor>> action_descriptors_;
  std::map<std::string, Descriptor> registry_;
  std::optional<Descriptor> recorded_;
  std::vector<std::string> log_;
  std::filesystem::path log_file_;

  friend struct Procs;
};

}  // namespace pmk::plugin
