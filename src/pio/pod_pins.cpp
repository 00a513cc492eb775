#include "pio/pod_pins.h"

#include <cctype>
#include <new>

#include "report/report.h"

namespace svf {
namespace {

constexpr const char* kNoMemoryText = "Error: Unable to allocate memory";

struct TapAndPin {
    uint32_t tap;
    uint32_t pin;
};

// The pod signals in code order 17, 18, 19: VPP_E, USER0, USER1.
constexpr uint32_t kPodSignalPins[] = {3, 1, 2};
constexpr uint32_t kLastTapPinCode = kPodTaps * kPinsPerTap;

TapAndPin TapAndPinOf(uint32_t code) {
    if (code <= kLastTapPinCode)
        return {(code - 1) / kPinsPerTap + 1, (code - 1) % kPinsPerTap + 1};
    return {0, kPodSignalPins[code - kPinCodeVppE]};
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

const PodPin* FindPin(const std::vector<std::unique_ptr<PodPin>>& list, uint32_t tap,
                      uint32_t pin) {
    for (const auto& entry : list) {
        if (entry->tap == tap && entry->pin == pin) return entry.get();
    }
    return nullptr;
}

bool Drives(char value) { return value == 'H' || value == 'L' || value == 'Z'; }
bool Senses(char value) { return value == 'U' || value == 'D' || value == 'X'; }
bool MayDrive(const PodPin& pin) {
    return pin.direction == kDirectionIn || pin.direction == kDirectionInOut;
}
bool MaySense(const PodPin& pin) {
    return pin.direction == kDirectionOut || pin.direction == kDirectionInOut;
}

// Appends to a pin list; false when memory ran out (the pin is released).
bool Append(std::vector<std::unique_ptr<PodPin>>& list, std::unique_ptr<PodPin> pin) {
    try {
        list.push_back(std::move(pin));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

std::unique_ptr<PodPin> MakePodPin(const SvfReport* report, uint32_t code,
                                   std::string_view logicalName, uint32_t column, Status& status) {
    if (code < 1 || code > kPinCodeUser1) {
        ReportError(report, "Error: Internal error, bad tapAndPinNmbr");
        status = kInternal;
        return nullptr;
    }
    try {
        auto pin = std::make_unique<PodPin>();
        const TapAndPin place = TapAndPinOf(code);
        pin->tap = place.tap;
        pin->pin = place.pin;
        pin->logicalName = logicalName;
        pin->value = '0';
        pin->direction = kDirectionInOut;
        pin->column = column;
        status = kOk;
        return pin;
    } catch (const std::bad_alloc&) {
        ReportError(report, "%s", kNoMemoryText);
        status = kNoMemory;
        return nullptr;
    }
}

Status AddPodPin(PodPins* pod, const SvfReport* report, uint32_t code, const char* logicalName) {
    if (logicalName == nullptr && pod != nullptr && pod->pinCount < kMaxPodPins) {
        ReportError(report, "Error: Internal error, logical name not found");
        return kInternal;
    }
    return AddPodPin(pod, report, code,
                     std::string_view(logicalName != nullptr ? logicalName : ""));
}

Status AddPodPin(PodPins* pod, const SvfReport* report, uint32_t code,
                 std::string_view logicalName) {
    if (pod == nullptr) {
        ReportError(report, "Error: Internal error, no pod data structure found");
        return kInternal;
    }
    if (pod->pinCount >= kMaxPodPins) {
        ReportError(report, "Error reading mapping file: maximum number of pod PIO pins exceeded");
        return kPioTooManyPins;
    }
    Status status = kOk;
    std::unique_ptr<PodPin> pin = MakePodPin(report, code, logicalName, pod->pinCount + 1, status);
    if (!pin) return status;
    for (const auto& existing : pod->pins) {
        if (existing->tap == pin->tap && existing->pin == pin->pin) return kPioPinDefined;
        if (SameNameIgnoringCase(existing->logicalName, pin->logicalName)) return kPioNameDefined;
    }
    if (!Append(pod->pins, std::move(pin))) {
        ReportError(report, "%s", kNoMemoryText);
        return kNoMemory;
    }
    ++pod->pinCount;
    return kOk;
}

void FreePodPins(PodPins& pod) {
    pod.byColumn.fill(nullptr);
    for (auto& table : pod.byTap) table.reset();
    pod.pins.clear();
    pod.pins.shrink_to_fit();
    pod.tapIoPins.clear();
    pod.tapIoPins.shrink_to_fit();
    pod.pinCount = 0;
    pod.tapIoPinCount = 0;
}

Status AddTapIoPin(PodPins* pod, const SvfReport* report, bool keepMappedPins, uint32_t tap,
                   uint32_t pin, char level) {
    if (pod == nullptr) {
        ReportError(report, "Error: Internal error, no pod data structure found");
        return kInternal;
    }
    if (keepMappedPins && FindPin(pod->pins, tap, pin) != nullptr) return kOk;
    if (FindPin(pod->tapIoPins, tap, pin) != nullptr) {
        ReportError(report, "Error: Internal error, TAP or pin number already in use");
        return kInternal;
    }
    if (tap > kPodTaps || pin < 1 || pin > kPinsPerTap || (level != 'L' && level != 'H')) {
        ReportError(report,
                    "Error: Internal error, TAP or pin number out of scope, or value NOT 'L'/'H'");
        return kInternal;
    }
    std::unique_ptr<PodPin> ioPin;
    try {
        ioPin = std::make_unique<PodPin>();
    } catch (const std::bad_alloc&) {
        ReportError(report, "%s", kNoMemoryText);
        return kNoMemory;
    }
    ioPin->tap = tap;
    ioPin->pin = pin;
    ioPin->value = level;
    ioPin->direction = kDirectionOut;
    ioPin->column = 0;
    if (!Append(pod->tapIoPins, std::move(ioPin))) {
        ReportError(report, "%s", kNoMemoryText);
        return kNoMemory;
    }
    ++pod->tapIoPinCount;
    return kOk;
}

Status AddTapIoPins(PodPins* pod, const SvfReport* report, bool keepMappedPins, uint32_t tap,
                    uint32_t pinMask, uint32_t levelMask) {
    if (pod == nullptr || tap > kPodTaps) {
        ReportError(report, "Error: Internal error, TAP not in pod");
        return kInternal;
    }
    for (uint32_t bit = 0; bit < kPinsPerTap; ++bit) {
        if ((pinMask >> bit & 1u) == 0) continue;
        const char level = (levelMask >> bit & 1u) != 0 ? 'H' : 'L';
        const Status status = AddTapIoPin(pod, report, keepMappedPins, tap, bit + 1, level);
        if (status != kOk) return status;
    }
    return kOk;
}

Status ApplyPioPattern(PodPins& pod, const char* pattern) {
    if (pattern == nullptr) return kOk;
    for (uint32_t i = 0; pattern[i] != '\0'; ++i) {
        const char value = pattern[i];
        if (!Drives(value) && !Senses(value)) return kSyntax;
        // A pattern reaches past the PIOMAP columns only through a fault of
        // the caller: PIO checks its length against the PIOMAP first.
        PodPin* pin = i < kMaxPodPins ? pod.byColumn[i] : nullptr;
        if (pin == nullptr) return kInternal;
        if (Senses(value) && !MaySense(*pin)) return kPioReadOnDrivePin;
        if (Drives(value) && !MayDrive(*pin)) return kPioDriveOnReadPin;
        pin->value = value;
    }
    return kOk;
}

Status BuildTapTables(PodPins* pod, const SvfReport* report) {
    if (pod == nullptr) {
        ReportError(report, "Error: Internal error");
        return kInternal;
    }
    for (PodPin* pin : pod->byColumn) {
        if (pin == nullptr) break;
        if (pin->tap > kPodTaps || pin->pin < 1 || pin->pin > kPinsPerTap) {
            ReportError(report, "Error: Internal error");
            return kInternal;
        }
        std::unique_ptr<TapPinTable>& table = pod->byTap[pin->tap];
        if (!table) {
            try {
                table = std::make_unique<TapPinTable>();
            } catch (const std::bad_alloc&) {
                ReportError(report, "%s", kNoMemoryText);
                return kNoMemory;
            }
            table->tap = pin->tap;
        }
        table->pins[pin->pin] = pin;
    }
    for (const auto& ioPin : pod->tapIoPins) {
        const TapPinTable* table = pod->byTap[ioPin->tap].get();
        if (table != nullptr && table->pins[ioPin->pin] != nullptr) {
            ReportError(report, "Error: I/O pin %d of TAP%d cannot be used as PIO pin",
                        static_cast<int>(ioPin->pin), static_cast<int>(ioPin->tap));
            return kPioPinInUse;
        }
    }
    return kOk;
}

}  // namespace svf
