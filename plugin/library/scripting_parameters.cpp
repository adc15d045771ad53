#include "plugin/interface/descriptor_keys.h"
#include "plugin/library/host_parameters.h"

namespace pmk::plugin {

using namespace host_api;

OSErr ReadScriptingParameters(FilterRecord& filter, ParameterBlock& block, bool ask_for_parameters,
                              bool& show_window) {
  show_window = ask_for_parameters;
  PIDescriptorParameters* parameters = filter.descriptorParameters;
  if (parameters == nullptr || parameters->readDescriptorProcs == nullptr ||
      parameters->descriptor == nullptr) {
    return noErr;
  }
  const ReadDescriptorProcs& read = *parameters->readDescriptorProcs;
  DescriptorKeyID keys[] = {kKeyAmount, kKeyDisposition, 0};
  OSErr result = noErr;
  if (PIReadDescriptor token = read.openReadDescriptorProc(parameters->descriptor, keys)) {
    bool unexpected_key = false;
    DescriptorKeyID key = 0;
    DescType type = 0;
    int32 flags = 0;
    while (!unexpected_key && read.getKeyProc(token, &key, &type, &flags)) {
      if (key == kKeyAmount) {
        DescriptorUnitID unit = 0;
        double amount = 0;
        if (read.getUnitFloatProc(token, &unit, &amount) == noErr)
          block.amount = AmountFromUnitFloat(amount);
      } else if (key == kKeyDisposition) {
        DescriptorEnumID value = 0;
        if (read.getEnumeratedProc(token, &value) == noErr)
          block.disposition = DispositionFromEnum(value);
      } else if (key == kKeyIgnoreSelection) {
        Boolean ignore = 0;
        if (read.getBooleanProc(token, &ignore) == noErr) block.ignore_selection = ignore != 0;
      } else {
        unexpected_key = true;
      }
    }
    result = read.closeReadDescriptorProc(token);
    // The walk's own failure outranks a clean close: the host must learn
    // that the recorded step was not understood.
    if (unexpected_key) result = errUnexpectedDescriptorKey;
  }
  filter.handleProcs->disposeProc(parameters->descriptor);
  parameters->descriptor = nullptr;
  show_window = parameters->playInfo == plugInDialogDisplay;
  return result;
}

OSErr WriteScriptingParameters(FilterRecord& filter, const ParameterBlock& block) {
  PIDescriptorParameters* parameters = filter.descriptorParameters;
  if (parameters == nullptr || parameters->writeDescriptorProcs == nullptr) return noErr;
  const WriteDescriptorProcs& write = *parameters->writeDescriptorProcs;
  PIWriteDescriptor token = write.openWriteDescriptorProc();
  if (token == nullptr) return errMissingParameter;
  double amount = block.amount;
  write.putUnitFloatProc(token, kKeyAmount, kUnitPercent, &amount);
  write.putEnumeratedProc(token, kKeyDisposition, kTypeDisposition,
                          DispositionToEnum(block.disposition));
  if (block.ignore_selection != 0) write.putBooleanProc(token, kKeyIgnoreSelection, true);
  if (parameters->descriptor != nullptr) filter.handleProcs->disposeProc(parameters->descriptor);
  parameters->descriptor = nullptr;
  const OSErr result = write.closeWriteDescriptorProc(token, &parameters->descriptor);
  parameters->recordInfo = plugInDialogOptional;
  return result;
}

}  // namespace pmk::plugin
