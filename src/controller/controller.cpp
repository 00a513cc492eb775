#include "controller/controller.h"

#include "platform/platform.h"
#include "report/report.h"

namespace svf {
namespace {

std::optional<uint32_t> versionOverride;

}  // namespace

const char* ControllerErrorText(const VeltraApi* api) {
    if (api->GetErrorText == nullptr) return "";
    const char* text = api->GetErrorText();
    return text != nullptr ? text : "";
}

const char* FailureText(const VeltraApi* api, uint32_t result) {
    return result == VELTRA_NOT_SUPPORTED ? kNotSupportedText : ControllerErrorText(api);
}

uint32_t ControllerLibraryVersion(const VeltraApi* api) {
    if (versionOverride) return *versionOverride;
    // The table lives in the controller library's data, so its address names
    // the module; the slot address is the fallback for a table built by a host.
    uint32_t version = platform::ModuleFileVersion(api);
    if (version == 0 && api->GetErrorText != nullptr) {
        version = platform::ModuleFileVersion(reinterpret_cast<const void*>(api->GetErrorText));
    }
    return version;
}

void SetControllerVersionOverride(std::optional<uint32_t> version) { versionOverride = version; }

}  // namespace svf
