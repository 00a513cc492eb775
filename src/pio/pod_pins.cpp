// STUB: replaced by the pod pin model.
#include "pio/pod_pins.h"
namespace svf {
std::unique_ptr<PodPin> MakePodPin(const SvfReport*, uint32_t, const char*, uint32_t,
                                   Status& status) { status = kInternal; return nullptr; }
Status AddPodPin(const SvfReport*, PodPins*, uint32_t, const char*) { return kInternal; }
void FreePodPins(PodPins& pod) { pod = PodPins{}; }
Status AddTapIoPin(bool, const SvfReport*, PodPins*, uint32_t, uint32_t, char) { return kInternal; }
Status AddTapIoPins(bool, const SvfReport*, PodPins*, uint32_t, uint32_t, uint32_t) {
    return kInternal;
}
Status ApplyPioPattern(PodPins&, const char*) { return kInternal; }
Status BuildTapTables(const SvfReport*, PodPins*) { return kInternal; }
}  // namespace svf
