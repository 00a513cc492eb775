// Operations on the pod pin model (pod_model.h). Each reports its own
// errors and returns kOk or the status named.
#pragma once

#include <cstdint>
#include <string_view>

#include "pod_model.h"
#include "status.h"
#include "svfplayer/svf_player.h"

namespace svf {

// Pin codes: 1..16 = TAP (code-1)/4+1, pin (code-1)%4+1; 17 VPP_E, 18 USER0,
// 19 USER1 (TAP 0, pins 3, 1, 2).
inline constexpr uint32_t kPinCodeVppE = 17;
inline constexpr uint32_t kPinCodeUser0 = 18;
inline constexpr uint32_t kPinCodeUser1 = 19;

// A new mapped pin; null after an error (kInternal for a bad code, kNoMemory)
// which is stored in `status`.
std::unique_ptr<PodPin> MakePodPin(const SvfReport* report, uint32_t code,
                                   std::string_view logicalName, uint32_t column, Status& status);
// kOk, kInternal, kNoMemory, kPioTooManyPins, kPioPinDefined or
// kPioNameDefined; no message for the last two.
// A name read from a file may hold NUL bytes: the string_view form keeps them.
Status AddPodPin(PodPins* pod, const SvfReport* report, uint32_t code,
                 std::string_view logicalName);
Status AddPodPin(PodPins* pod, const SvfReport* report, uint32_t code, const char* logicalName);
void FreePodPins(PodPins& pod);
Status AddTapIoPin(PodPins* pod, const SvfReport* report, bool keepMappedPins, uint32_t tap,
                   uint32_t pin, char level);
Status AddTapIoPins(PodPins* pod, const SvfReport* report, bool keepMappedPins, uint32_t tap,
                    uint32_t pinMask, uint32_t levelMask);
// kOk, kSyntax (bad character), kPioDriveOnReadPin or kPioReadOnDrivePin;
// no message.
Status ApplyPioPattern(PodPins& pod, const char* pattern);
// kOk, kInternal, kNoMemory or kPioPinInUse.
Status BuildTapTables(PodPins* pod, const SvfReport* report);

}  // namespace svf
