#include "null_controller.h"

#include <algorithm>
#include <array>

namespace svfplay {

namespace {

constexpr uint32_t kWordBits = 16;

const char* NullErrorText() { return ""; }
uint32_t NullTap(uint32_t) { return VELTRA_OK; }
uint32_t NullTapValue(uint32_t, uint32_t) { return VELTRA_OK; }
uint32_t NullValue(uint32_t) { return VELTRA_OK; }

void CaptureZeros(uint16_t* tdo, uint32_t bitCount) {
    if (tdo != nullptr) std::fill_n(tdo, (bitCount + kWordBits - 1) / kWordBits, uint16_t{0});
}

uint32_t NullShift(uint32_t, const uint16_t*, uint32_t bitCount, uint16_t* tdo) {
    CaptureZeros(tdo, bitCount);
    return VELTRA_OK;
}

// Nothing is compared, so nothing ever fails.
uint32_t NullShiftCompare(uint32_t, const uint16_t*, uint32_t bitCount, uint16_t* tdo,
                          const uint16_t*, const uint16_t*) {
    CaptureZeros(tdo, bitCount);
    return VELTRA_OK;
}

uint32_t NullGetPodInfo(uint32_t, uint32_t* pinMask, uint32_t* levelMask) {
    if (pinMask != nullptr) *pinMask = 0;
    if (levelMask != nullptr) *levelMask = 0;
    return VELTRA_OK;
}

uint32_t NullGetCompareResult(uint32_t* failMask) {
    if (failMask != nullptr) *failMask = 0;
    return VELTRA_OK;
}

uint32_t NullAccessPioPins(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t* readBack) {
    if (readBack != nullptr) *readBack = 0;
    return VELTRA_OK;
}

uint32_t NullGetControllerInfo(const uint32_t** record) {
    static const std::array<uint32_t, VELTRA_INFO_WORDS> kNothingValid{};
    if (record != nullptr) *record = kNothingValid.data();
    return VELTRA_OK;
}

uint32_t NullSetPodSignal(uint32_t, uint32_t, uint32_t) { return VELTRA_OK; }
uint32_t NullWaitTime(uint32_t, uint32_t) { return VELTRA_OK; }

VeltraApi MakeNullApi() {
    VeltraApi api{};
    api.GetErrorText = NullErrorText;
    api.ResetTap = NullTap;
    api.PulseTrst = NullTap;
    api.SetTapState = NullTapValue;
    api.ShiftDr = NullShift;
    api.ShiftIr = NullShift;
    api.ShiftDrToPause = NullShift;
    api.ShiftIrToPause = NullShift;
    api.WaitTck = NullValue;
    api.SetStopState = NullValue;
    api.SetFrequency = NullValue;
    api.SetTckIdleState = NullValue;
    api.WaitTime = NullWaitTime;
    api.SetBuffering = NullValue;
    api.SetFlagLength = NullTapValue;
    api.GetPodInfo = NullGetPodInfo;
    api.SetStartState = NullTapValue;
    api.SetGanging = NullTapValue;
    api.ShiftDrCompare = NullShiftCompare;
    api.ShiftIrCompare = NullShiftCompare;
    api.ShiftDrCompareToPause = NullShiftCompare;
    api.ShiftIrCompareToPause = NullShiftCompare;
    api.GetCompareResult = NullGetCompareResult;
    api.SetCompareMode = NullValue;
    api.AccessPioPins = NullAccessPioPins;
    api.GetControllerInfo = NullGetControllerInfo;
    api.SetPodSignal = NullSetPodSignal;
    api.ShiftDrLong = NullShiftCompare;
    api.ShiftDrLongToPause = NullShiftCompare;
    api.SetTrst = NullTapValue;
    return api;
}

}  // namespace

const VeltraApi* NullControllerApi() {
    static const VeltraApi kApi = MakeNullApi();
    return &kApi;
}

}  // namespace svfplay
