#include "plugin/filter_host/filter_host.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "plugin/filter_host/host_browser.h"

namespace pmk::plugin {

using namespace host_api;

namespace {

constexpr OSErr kParamErr = -50;
constexpr SPErr kSuiteNotFound = -1;
constexpr OSErr kMissingKey = -1715;
FilterHost* active = nullptr;

const char* SelectorName(int16 selector) {
  static const char* const kNames[] = {"About", "Parameters", "Prepare",
                                       "Start", "Continue",   "Finish"};
  return selector >= 0 && selector <= 5 ? kNames[selector] : "Unknown";
}

int16 Clamp16(std::int32_t value) {
  return static_cast<int16>(std::min(value, 32767));
}

std::string RectText(const VRect& r) {
  std::ostringstream text;
  text << r.top << "," << r.left << "," << r.bottom << "," << r.right;
  return text.str();
}

}  // namespace

// The procedures handed to the plug-in, each forwarding to the active host.
struct FilterHost::Procs {
  static FilterHost& H() { return *active; }

  static Handle NewProc(int32 size) {
    ++H().plugin_new_calls_;
    return H().NewHandle(size, true);
  }
  static void DisposeProc(Handle h) { H().DisposeHandle(h); }
  static int32 GetSizeProc(Handle h) {
    auto* bytes = H().HandleBytes(h);
    return bytes != nullptr ? static_cast<int32>(bytes->size()) : 0;
  }
  static Ptr LockProc(Handle h, Boolean) {
    FilterHost& host = H();
    ++host.lock_calls_;
    auto found = host.handles_.find(h);
    if (found == host.handles_.end()) return nullptr;
    if (host.faults_.fail_lock_from_call > 0 &&
        host.lock_calls_ >= host.faults_.fail_lock_from_call)
      return nullptr;
    ++found->second->locks;
    return found->second->master;
  }
  static void UnlockProc(Handle h) {
    auto found = H().handles_.find(h);
    if (found != H().handles_.end() && found->second->locks > 0) --found->second->locks;
  }
  static OSErr AdvanceStateProc() { return H().AdvanceState(); }

  // Scripting: reading.
  static PIReadDescriptor OpenRead(PIDescriptorHandle handle, DescriptorKeyID*) {
    auto* bytes = H().HandleBytes(handle);
    if (bytes == nullptr) return nullptr;
    auto reader = std::make_unique<Reader>();
    reader->items = UnpackDescriptor(bytes->data(), bytes->size());
    auto token = reinterpret_cast<PIReadDescriptor>(reader.get());
    H().readers_[token] = std::move(reader);
    return token;
  }
  static OSErr CloseRead(PIReadDescriptor token) {
    H().readers_.erase(token);
    return noErr;
  }
  static Reader* FindReader(PIReadDescriptor token) {
    auto found = H().readers_.find(token);
    return found == H().readers_.end() ? nullptr : found->second.get();
  }
  static Boolean GetKey(PIReadDescriptor token, DescriptorKeyID* key, DescType* type,
                        int32* flags) {
    Reader* reader = FindReader(token);
    if (reader == nullptr || reader->next >= reader->items.size()) return false;
    reader->current = reader->items[reader->next++];
    *key = reader->current.key;
    *type = reader->current.type;
    if (flags != nullptr) *flags = 0;
    return true;
  }
  static OSErr GetUnitFloat(PIReadDescriptor token, DescriptorUnitID* unit, real64* value) {
    Reader* reader = FindReader(token);
    if (reader == nullptr || reader->current.type != FourCharCode("UntF")) return kMissingKey;
    if (unit != nullptr) *unit = reader->current.unit_or_enum_type;
    *value = reader->current.number;
    return noErr;
  }
  static OSErr GetBoolean(PIReadDescriptor token, Boolean* value) {
    Reader* reader = FindReader(token);
    if (reader == nullptr || reader->current.type != FourCharCode("bool")) return kMissingKey;
    *value = reader->current.flag;
    return noErr;
  }
  static OSErr GetEnumerated(PIReadDescriptor token, DescriptorEnumID* value) {
    Reader* reader = FindReader(token);
    if (reader == nullptr || reader->current.type != FourCharCode("enum")) return kMissingKey;
    *value = reader->current.enum_value;
    return noErr;
  }

  // Scripting: writing.
  static PIWriteDescriptor OpenWrite() {
    auto writer = std::make_unique<Descriptor>();
    auto token = reinterpret_cast<PIWriteDescriptor>(writer.get());
    H().writers_[token] = std::move(writer);
    return token;
  }
  static Descriptor* FindWriter(PIWriteDescriptor token) {
    auto found = H().writers_.find(token);
    return found == H().writers_.end() ? nullptr : found->second.get();
  }
  static OSErr CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* handle) {
    Descriptor* writer = FindWriter(token);
    if (writer == nullptr) return kParamErr;
    const std::vector<char> packed = PackDescriptor(*writer);
    H().writers_.erase(token);
    Handle created = H().NewHandle(static_cast<int32>(packed.size()), false);
    std::copy(packed.begin(), packed.end(), H().HandleBytes(created)->begin());
    *handle = created;
    return noErr;
  }
  static OSErr PutUnitFloat(PIWriteDescriptor token, DescriptorKeyID key, DescriptorUnitID unit,
                            real64* value) {
    Descriptor* writer = FindWriter(token);
    if (writer == nullptr) return kParamErr;
    writer->push_back({key, FourCharCode("UntF"), unit, 0, *value, false});
    return noErr;
  }
  static OSErr PutBoolean(PIWriteDescriptor token, DescriptorKeyID key, Boolean value) {
    Descriptor* writer = FindWriter(token);
    if (writer == nullptr) return kParamErr;
    writer->push_back({key, FourCharCode("bool"), 0, 0, 0, value != 0});
    return noErr;
  }
  static OSErr PutEnumerated(PIWriteDescriptor token, DescriptorKeyID key, DescType type,
                             DescriptorEnumID value) {
    Descriptor* writer = FindWriter(token);
    if (writer == nullptr) return kParamErr;
    writer->push_back({key, FourCharCode("enum"), type, value, 0, false});
    return noErr;
  }

  // The basic suite and the suites it hands out.
  static SPErr AcquireSuite(const char* name, int32 version, const void** suite);
  static SPErr ReleaseSuite(const char*, int32) {
    --H().suites_held_;
    return 0;
  }
  static Descriptor* FindAction(PIActionDescriptor d) {
    auto found = H().action_descriptors_.find(d);
    return found == H().action_descriptors_.end() ? nullptr : found->second.get();
  }
  static OSErr Make(PIActionDescriptor* d) {
    auto made = std::make_unique<Descriptor>();
    *d = reinterpret_cast<PIActionDescriptor>(made.get());
    H().action_descriptors_[*d] = std::move(made);
    return 0;
  }
  static OSErr Free(PIActionDescriptor d) {
    return H().action_descriptors_.erase(d) == 1 ? 0 : kParamErr;
  }
  static OSErr ActionPutUnitFloat(PIActionDescriptor d, DescriptorKeyID key, DescriptorUnitID unit,
                                  real64 value) {
    Descriptor* items = FindAction(d);
    if (items == nullptr) return kParamErr;
    items->push_back({key, FourCharCode("UntF"), unit, 0, value, false});
    return 0;
  }
  static OSErr ActionPutBoolean(PIActionDescriptor d, DescriptorKeyID key, Boolean value) {
    Descriptor* items = FindAction(d);
    if (items == nullptr) return kParamErr;
    items->push_back({key, FourCharCode("bool"), 0, 0, 0, value != 0});
    return 0;
  }
  static OSErr ActionPutEnumerated(PIActionDescriptor d, DescriptorKeyID key,
                                   DescriptorEnumTypeID type, DescriptorEnumID value) {
    Descriptor* items = FindAction(d);
    if (items == nullptr) return kParamErr;
    items->push_back({key, FourCharCode("enum"), type, value, 0, false});
    return 0;
  }
  static const DescriptorItem* ActionItem(PIActionDescriptor d, DescriptorKeyID key,
                                          const char (&type)[5]) {
    Descriptor* items = FindAction(d);
    const DescriptorItem* item = items == nullptr ? nullptr : FindItem(*items, key);
    return item != nullptr && item->type == FourCharCode(type) ? item : nullptr;
  }
  static OSErr ActionGetUnitFloat(PIActionDescriptor d, DescriptorKeyID key, DescriptorUnitID* unit,
                                  real64* value) {
    const DescriptorItem* item = ActionItem(d, key, "UntF");
    if (item == nullptr) return kMissingKey;
    if (unit != nullptr) *unit = item->unit_or_enum_type;
    *value = item->number;
    return 0;
  }
  static OSErr ActionGetBoolean(PIActionDescriptor d, DescriptorKeyID key, Boolean* value) {
    const DescriptorItem* item = ActionItem(d, key, "bool");
    if (item == nullptr) return kMissingKey;
    *value = item->flag;
    return 0;
  }
  static OSErr ActionGetEnumerated(PIActionDescriptor d, DescriptorKeyID key,
                                   DescriptorEnumTypeID* type, DescriptorEnumID* value) {
    const DescriptorItem* item = ActionItem(d, key, "enum");
    if (item == nullptr) return kMissingKey;
    if (type != nullptr) *type = item->unit_or_enum_type;
    *value = item->enum_value;
    return 0;
  }
  static OSErr Register(const char* key, PIActionDescriptor d, Boolean persistent) {
    Descriptor* items = FindAction(d);
    if (items == nullptr || key == nullptr) return kParamErr;
    H().registry_[key] = *items;
    if (persistent) H().SaveRegistry();
    return 0;
  }
  static OSErr Erase(const char* key) {
    H().registry_.erase(key);
    return 0;
  }
  static OSErr Get(const char* key, PIActionDescriptor* d) {
    *d = nullptr;
    auto found = H().registry_.find(key);
    if (found == H().registry_.end()) return 0;
    Make(d);
    *FindAction(*d) = found->second;
    return 0;
  }

  static HandleProcs handle_procs;
  static ReadDescriptorProcs read_procs;
  static WriteDescriptorProcs write_procs;
  static SPBasicSuite basic_suite;
  static PSDescriptorRegistryProcs registry_procs;
  static PSActionDescriptorProcs action_procs;
};

SPErr FilterHost::Procs::AcquireSuite(const char* name, int32 version, const void** suite) {
  *suite = nullptr;
  const std::string wanted = name != nullptr ? name : "";
  if (wanted == kPSDescriptorRegistrySuite && version == kPSDescriptorRegistrySuiteVersion1) {
    *suite = &registry_procs;
  } else if (wanted == kPSActionDescriptorSuite && version == kPSActionDescriptorSuiteVersion3) {
    *suite = &action_procs;
  } else if (wanted == kPSGetFileListSuite && version == kPSGetFileListSuiteVersion4) {
    *suite = &FileListSuite();
  } else {
    return kSuiteNotFound;
  }
  ++H().suites_held_;
  return 0;
}

HandleProcs FilterHost::Procs::handle_procs = {
    2, 8, &NewProc, &DisposeProc, &GetSizeProc, nullptr, &LockProc, &UnlockProc, nullptr, nullptr};
ReadDescriptorProcs FilterHost::Procs::read_procs = [] {
  ReadDescriptorProcs p{};
  p.readDescriptorProcsVersion = 0;
  p.numReadDescriptorProcs = 18;
  p.openReadDescriptorProc = &OpenRead;
  p.closeReadDescriptorProc = &CloseRead;
  p.getKeyProc = &GetKey;
  p.getUnitFloatProc = &GetUnitFloat;
  p.getBooleanProc = &GetBoolean;
  p.getEnumeratedProc = &GetEnumerated;
  return p;
}();
WriteDescriptorProcs FilterHost::Procs::write_procs = [] {
  WriteDescriptorProcs p{};
  p.numWriteDescriptorProcs = 16;
  p.openWriteDescriptorProc = &OpenWrite;
  p.closeWriteDescriptorProc = &CloseWrite;
  p.putUnitFloatProc = &PutUnitFloat;
  p.putBooleanProc = &PutBoolean;
  p.putEnumeratedProc = &PutEnumerated;
  return p;
}();
SPBasicSuite FilterHost::Procs::basic_suite = [] {
  SPBasicSuite s{};
  s.AcquireSuite = &AcquireSuite;
  s.ReleaseSuite = &ReleaseSuite;
  return s;
}();
PSDescriptorRegistryProcs FilterHost::Procs::registry_procs = {&Register, &Erase, &Get};
PSActionDescriptorProcs FilterHost::Procs::action_procs = [] {
  PSActionDescriptorProcs p{};
  p.Make = &Make;
  p.Free = &Free;
  p.PutUnitFloat = &ActionPutUnitFloat;
  p.PutBoolean = &ActionPutBoolean;
  p.PutEnumerated = &ActionPutEnumerated;
  p.GetUnitFloat = &ActionGetUnitFloat;
  p.GetBoolean = &ActionGetBoolean;
  p.GetEnumerated = &ActionGetEnumerated;
  return p;
}();

FilterHost::FilterHost(PluginMainProc entry, HostDocument document, HostSettings settings)
    : entry_(entry), document_(std::move(document)), settings_(std::move(settings)) {
  const int32 w = document_.width;
  const int32 h = document_.height;
  record_.imageSize = Point{Clamp16(h), Clamp16(w)};
  record_.wholeSize = record_.imageSize;
  record_.planes = static_cast<int16>(document_.channels);
  record_.filterRect = Rect{0, 0, Clamp16(h), Clamp16(w)};
  record_.maxSpace = settings_.max_space;
  record_.hostSig = FourCharCode("PMKH");
  record_.imageMode = 3;  // RGB colour
  record_.depth = 8;
  record_.filterCase = document_.channels == 4 ? filterCaseEditableTransparencyNoSelection
                                               : filterCaseFlatImageNoSelection;
  record_.handleProcs = &Procs::handle_procs;
  record_.advanceState = &Procs::AdvanceStateProc;
  if (settings_.basic_suite) record_.sSPBasic = &Procs::basic_suite;
  if (settings_.descriptor_parameters) {
    descriptor_parameters_.readDescriptorProcs = &Procs::read_procs;
    descriptor_parameters_.writeDescriptorProcs = &Procs::write_procs;
    record_.descriptorParameters = &descriptor_parameters_;
  }
  if (settings_.big_document) {
    big_document_.imageSize32 = VPoint{h, w};
    big_document_.wholeSize32 = VPoint{h, w};
    big_document_.filterRect32 = VRect{0, 0, h, w};
    record_.bigDocumentData = &big_document_;
  }
  LoadRegistry();
}

FilterHost::~FilterHost() = default;

Handle FilterHost::NewHandle(std::int32_t size, bool may_fail) {
  if (size < 0 || (may_fail && faults_.fail_new_of_size == size)) return nullptr;
  auto handle = std::make_unique<HostHandle>();
  // Fresh memory is not cleared, as in the editor: a plug-in must set what it reads.
  handle->bytes.assign(static_cast<std::size_t>(size) + 1, static_cast<char>(0xCD));
  handle->bytes.resize(static_cast<std::size_t>(size));
  handle->master = handle->bytes.data();
  Handle key = &handle->master;
  handles_[key] = std::move(handle);
  ++handles_created_;
  return key;
}

void FilterHost::DisposeHandle(Handle handle) {
  handles_.erase(handle);
}

std::vector<char>* FilterHost::HandleBytes(Handle handle) {
  auto found = handles_.find(handle);
  return found == handles_.end() ? nullptr : &found->second->bytes;
}

void FilterHost::Log(const std::string& line) {
  log_.push_back(line);
  if (!log_file_.empty()) {
    std::ofstream out(log_file_, std::ios::app);
    out << line << "\n";
  }
}

int16 FilterHost::Call(int16 selector) {
  active = this;
  int16 result = noErr;
  entry_(selector, &record_, &data_, &result);
  if (selector == filterSelectorStart || selector == filterSelectorContinue) CommitOutput();
  Log(std::string("selector ") + std::to_string(selector) + " " + SelectorName(selector) + " -> " +
      std::to_string(result));
  return result;
}

int16 FilterHost::About() {
  active = this;
  AboutRecord about{};
  about.sSPBasic = settings_.basic_suite ? &Procs::basic_suite : nullptr;
  int16 result = noErr;
  entry_(filterSelectorAbout, &about, &data_, &result);
  Log("selector 0 About -> " + std::to_string(result));
  return result;
}

void FilterHost::PlayDescriptor(const Descriptor& descriptor, int16 play_info) {
  active = this;
  if (descriptor_parameters_.descriptor != nullptr)
    DisposeHandle(descriptor_parameters_.descriptor);
  const std::vector<char> packed = PackDescriptor(descriptor);
  descriptor_parameters_.descriptor = NewHandle(static_cast<int32>(packed.size()), false);
  std::copy(packed.begin(), packed.end(), HandleBytes(descriptor_parameters_.descriptor)->begin());
  descriptor_parameters_.playInfo = play_info;
}

int16 FilterHost::RunFilter(bool repeat) {
  active = this;
  if (descriptor_parameters_.descriptor != nullptr)
    DisposeHandle(descriptor_parameters_.descriptor);
  descriptor_parameters_.descriptor = nullptr;
  descriptor_parameters_.playInfo = plugInDialogDisplay;
  descriptor_parameters_.recordInfo = plugInDialogOptional;
  if (repeat) PlayDescriptor(recorded_.value_or(Descriptor{}), plugInDialogDontDisplay);
  int16 result = noErr;
  if (!repeat && (result = Call(filterSelectorParameters)) != noErr) return result;
  if ((result = Call(filterSelectorPrepare)) != noErr) return result;
  if ((result = Call(filterSelectorStart)) != noErr) return result;
  // The plug-in says it is done by asking for empty areas; a bounded number
  // of rounds keeps a faulty plug-in from holding the host forever.
  for (int round = 0; round < 64; ++round) {
    if (CurrentRequest(true).Empty() && CurrentRequest(false).Empty()) break;
    if ((result = Call(filterSelectorContinue)) != noErr) return result;
  }
  if ((result = Call(filterSelectorFinish)) != noErr) return result;
  if (descriptor_parameters_.descriptor != nullptr) {
    const std::vector<char>& bytes = *HandleBytes(descriptor_parameters_.descriptor);
    recorded_ = UnpackDescriptor(bytes.data(), bytes.size());
  }
  SaveRegistry();
  return noErr;
}

FilterHost::Request FilterHost::CurrentRequest(bool input) const {
  Request request;
  const bool big = record_.bigDocumentData != nullptr &&
                   record_.bigDocumentData->PluginUsing32BitCoordinates != 0;
  if (big) {
    request.rect = input ? big_document_.inRect32 : big_document_.outRect32;
  } else {
    const Rect& r = input ? record_.inRect : record_.outRect;
    request.rect = VRect{r.top, r.left, r.bottom, r.right};
  }
  request.lo = input ? record_.inLoPlane : record_.outLoPlane;
  request.hi = input ? record_.inHiPlane : record_.outHiPlane;
  return request;
}

bool FilterHost::Valid(const Request& r) const {
  return r.rect.top >= 0 && r.rect.left >= 0 && r.rect.bottom <= document_.height &&
         r.rect.right <= document_.width && r.lo >= 0 && r.hi < document_.channels;
}

namespace {

// Copies the planes lo..hi of a rectangle between the document and a packed
// buffer of the request, in either direction.
void CopyArea(std::vector<std::uint8_t>& document, const HostDocument& geometry,
              std::vector<std::uint8_t>& buffer, const VRect& rect, int lo, int hi,
              bool to_buffer) {
  const int planes = hi - lo + 1;
  const int width = rect.right - rect.left;
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t d =
          (static_cast<std::size_t>(y) * geometry.width + rect.left + x) * geometry.channels + lo;
      const std::size_t b = (static_cast<std::size_t>(y - rect.top) * width + x) * planes;
      for (int p = 0; p < planes; ++p) {
        if (to_buffer) {
          buffer[b + p] = document[d + p];
        } else {
          document[d + p] = buffer[b + p];
        }
      }
    }
  }
}

}  // namespace

void FilterHost::CommitOutput() {
  if (!pending_output_) return;
  const Request r = *pending_output_;
  CopyArea(document_.pixels, document_, out_buffer_, r.rect, r.lo, r.hi, false);
  pending_output_.reset();
}

OSErr FilterHost::AdvanceState() {
  CommitOutput();
  const Request in = CurrentRequest(true);
  const Request out = CurrentRequest(false);
  OSErr result = noErr;
  if ((!in.Empty() && (!Valid(in) || faults_.refuse_input)) ||
      (!out.Empty() && (!Valid(out) || faults_.refuse_output))) {
    result = kParamErr;
  }
  record_.inData = nullptr;
  record_.outData = nullptr;
  if (result == noErr && !in.Empty()) {
    const int planes = in.hi - in.lo + 1;
    const int width = in.rect.right - in.rect.left;
    in_buffer_.assign(static_cast<std::size_t>(width) * (in.rect.bottom - in.rect.top) * planes, 0);
    CopyArea(document_.pixels, document_, in_buffer_, in.rect, in.lo, in.hi, true);
    record_.inData = in_buffer_.data();
    record_.inRowBytes = width * planes;
  }
  if (result == noErr && !out.Empty()) {
    const int planes = out.hi - out.lo + 1;
    const int width = out.rect.right - out.rect.left;
    out_buffer_.assign(static_cast<std::size_t>(width) * (out.rect.bottom - out.rect.top) * planes,
                       0);
    // The output area starts as the document's pixels, as in the editor.
    CopyArea(document_.pixels, document_, out_buffer_, out.rect, out.lo, out.hi, true);
    record_.outData = out_buffer_.data();
    record_.outRowBytes = width * planes;
    pending_output_ = out;
  }
  Log("advanceState in " + RectText(in.rect) + " planes " + std::to_string(in.lo) + "-" +
      std::to_string(in.hi) + " out " + RectText(out.rect) + " planes " + std::to_string(out.lo) +
      "-" + std::to_string(out.hi) + " -> " + std::to_string(result));
  return result;
}

void FilterHost::LoadRegistry() {
  if (settings_.registry_file.empty()) return;
  std::ifstream in(settings_.registry_file);
  if (!in) return;
  const nlohmann::json json = nlohmann::json::parse(in, nullptr, false);
  if (!json.is_object()) return;
  if (json.contains("registry") && json["registry"].is_object()) {
    for (const auto& [key, value] : json["registry"].items()) {
      registry_[key] = DescriptorFromJson(value);
    }
  }
  if (json.contains("recorded")) recorded_ = DescriptorFromJson(json["recorded"]);
}

void FilterHost::SaveRegistry() const {
  if (settings_.registry_file.empty()) return;
  nlohmann::json json;
  json["registry"] = nlohmann::json::object();
  for (const auto& [key, value] : registry_) json["registry"][key] = DescriptorToJson(value);
  if (recorded_) json["recorded"] = DescriptorToJson(*recorded_);
  std::error_code ignored;
  std::filesystem::create_directories(settings_.registry_file.parent_path(), ignored);
  std::filesystem::path temporary = settings_.registry_file;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << json.dump(2) << "\n";
    if (!out) return;
  }
  std::filesystem::rename(temporary, settings_.registry_file, ignored);
}

}  // namespace pmk::plugin
