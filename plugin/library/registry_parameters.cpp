#include "plugin/interface/descriptor_keys.h"
#include "plugin/library/host_parameters.h"

namespace pmk::plugin {
namespace {

using namespace host_api;

// The two suites, acquired for one operation and released after it.
class RegistrySuites {
 public:
  explicit RegistrySuites(SPBasicSuite* basic) : basic_(basic) {
    if (basic_ == nullptr) return;
    const void* suite = nullptr;
    if (basic_->AcquireSuite(kPSDescriptorRegistrySuite, kPSDescriptorRegistrySuiteVersion1,
                             &suite) == 0) {
      registry_ = static_cast<const PSDescriptorRegistryProcs*>(suite);
    }
    suite = nullptr;
    if (basic_->AcquireSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion3, &suite) ==
        0) {
      descriptors_ = static_cast<const PSActionDescriptorProcs*>(suite);
    }
  }
  RegistrySuites(const RegistrySuites&) = delete;
  RegistrySuites& operator=(const RegistrySuites&) = delete;
  ~RegistrySuites() {
    if (registry_ != nullptr)
      basic_->ReleaseSuite(kPSDescriptorRegistrySuite, kPSDescriptorRegistrySuiteVersion1);
    if (descriptors_ != nullptr)
      basic_->ReleaseSuite(kPSActionDescriptorSuite, kPSActionDescriptorSuiteVersion3);
  }

  bool Complete() const { return registry_ != nullptr && descriptors_ != nullptr; }
  const PSDescriptorRegistryProcs& registry() const { return *registry_; }
  const PSActionDescriptorProcs& descriptors() const { return *descriptors_; }

 private:
  SPBasicSuite* basic_;
  const PSDescriptorRegistryProcs* registry_ = nullptr;
  const PSActionDescriptorProcs* descriptors_ = nullptr;
};

}  // namespace

OSErr ReadRegistryParameters(const FilterRecord& filter, ParameterBlock& block) {
  if (filter.sSPBasic == nullptr) return errPlugInHostInsufficient;
  RegistrySuites suites(filter.sSPBasic);
  if (!suites.Complete()) return errPlugInHostInsufficient;
  PIActionDescriptor descriptor = nullptr;
  OSErr error = suites.registry().Get(kRegistryKey, &descriptor);
  if (error != 0 || descriptor == nullptr) return error;
  DescriptorUnitID unit = 0;
  double amount = 0;
  error = suites.descriptors().GetUnitFloat(descriptor, kKeyAmount, &unit, &amount);
  if (error == 0) {
    block.amount = AmountFromUnitFloat(amount);
    DescriptorEnumTypeID type = 0;
    DescriptorEnumID value = 0;
    error = suites.descriptors().GetEnumerated(descriptor, kKeyDisposition, &type, &value);
    if (error == 0) {
      block.disposition = DispositionFromEnum(value);
      Boolean ignore = 0;
      error = suites.descriptors().GetBoolean(descriptor, kKeyIgnoreSelection, &ignore);
      if (error == 0) block.ignore_selection = ignore != 0;
    }
  }
  suites.descriptors().Free(descriptor);
  return error;
}

OSErr WriteRegistryParameters(const FilterRecord& filter, const ParameterBlock& block) {
  if (filter.sSPBasic == nullptr) return errPlugInHostInsufficient;
  RegistrySuites suites(filter.sSPBasic);
  if (!suites.Complete()) return errPlugInHostInsufficient;
  PIActionDescriptor descriptor = nullptr;
  OSErr error = suites.descriptors().Make(&descriptor);
  if (error != 0 || descriptor == nullptr) return error;
  const auto& d = suites.descriptors();
  error = d.PutUnitFloat(descriptor, kKeyAmount, kUnitPercent, block.amount);
  if (error == 0) {
    error = d.PutEnumerated(descriptor, kKeyDisposition, kTypeDisposition,
                            DispositionToEnum(block.disposition));
  }
  if (error == 0) error = d.PutBoolean(descriptor, kKeyIgnoreSelection, block.ignore_selection);
  if (error == 0) error = suites.registry().Register(kRegistryKey, descriptor, true);
  d.Free(descriptor);
  return error;
}

}  // namespace pmk::plugin
