#include "pod.h"

namespace veltrasim {
namespace {
constexpr int kUndriven = -1;
bool SamePin(const PinRef& a, uint32_t tap, uint32_t pin) {
    return a.kind == PinRef::Kind::kPin && a.tap == tap && a.pin == pin;
}
}  // namespace

void Pod::Load(const PodConfig& config) {
    config_ = config;
    drives_ = {};
    signals_ = {};
}

uint32_t Pod::Access(uint32_t tap, uint32_t usedMask, uint32_t driveMask, uint32_t highMask) {
    for (uint32_t pin = 1; pin <= kPinsPerTap; ++pin) {
        const uint32_t bit = 1u << (pin - 1);
        if (!(usedMask & bit)) continue;
        Drive& drive = DriveOf(tap, pin);
        drive.driven = (driveMask & bit) != 0;
        drive.high = drive.driven && (highMask & bit) != 0;
    }
    return Levels(tap, usedMask);
}

int Pod::SourceLevel(const PinRef& source) const {
    if (source.kind == PinRef::Kind::kSignal) return signals_[source.signal] ? 1 : 0;
    const Drive& drive = DriveOf(source.tap, source.pin);
    if (drive.driven) return drive.high ? 1 : 0;
    for (const PodConfig::Level& level : config_.levels) {
        if (SamePin(level.pin, source.tap, source.pin)) return level.high ? 1 : 0;
    }
    return kUndriven;
}

char Pod::Level(uint32_t tap, uint32_t pin) const {
    PinRef self;
    self.tap = tap;
    self.pin = pin;
    int level = SourceLevel(self);
    for (const PodConfig::Wire& wire : config_.wires) {
        if (level != kUndriven) break;
        if (SamePin(wire.to, tap, pin)) level = SourceLevel(wire.from);
    }
    if (level != kUndriven) return level ? 'H' : 'L';
    switch (config_.pull) {
        case Pull::kHigh: return 'H';
        case Pull::kLow: return 'L';
        case Pull::kNone: break;
    }
    return 'Z';
}

uint32_t Pod::Levels(uint32_t tap, uint32_t pins) const {
    uint32_t levels = 0;
    for (uint32_t pin = 1; pin <= kPinsPerTap; ++pin) {
        const uint32_t bit = 1u << (pin - 1);
        // A floating input reads high.
        if ((pins & bit) && Level(tap, pin) != 'L') levels |= bit;
    }
    return levels;
}

}  // namespace veltrasim
