#include "device.h"

#include <algorithm>

#include "bit_words.h"

namespace veltrasim {

void ShiftRing::Load(const Bits& value) {
    bits_ = value;
    head_ = 0;
}

Bits ShiftRing::Value() const {
    Bits value(bits_.size());
    std::rotate_copy(bits_.begin(), bits_.begin() + static_cast<std::ptrdiff_t>(head_), bits_.end(),
                     value.begin());
    return value;
}

void ShiftRing::StoreTo(uint16_t* words, uint64_t offset) const {
    std::size_t at = head_;
    for (std::size_t i = 0; i < bits_.size(); ++i) {
        const uint64_t bit = offset + i;
        const auto flag = static_cast<uint16_t>(1u << (bit % kWordBits));
        uint16_t& word = words[bit / kWordBits];
        word = static_cast<uint16_t>(bits_[at] != 0 ? word | flag : word & ~flag);
        if (++at == bits_.size()) at = 0;
    }
}

void ShiftRing::LoadFrom(const uint16_t* words, uint64_t offset) {
    for (std::size_t i = 0; i < bits_.size(); ++i) {
        const uint64_t bit = offset + i;
        bits_[i] = static_cast<uint8_t>(words[bit / kWordBits] >> (bit % kWordBits) & 1u);
    }
    head_ = 0;
}

Device::Device(const DeviceConfig& config) : irCapture_(config.irCapture) {
    registers_.push_back({false, Bits{0}});  // BYPASS captures 0
    std::map<std::string, std::size_t> byName;
    if (config.idcode) {
        registers_.push_back({false, BitsOf(*config.idcode, kIdcodeLength)});
        byName["IDCODE"] = kIdcodeRegister;
        resetRegister_ = kIdcodeRegister;
    }
    for (const RegisterConfig& reg : config.registers) {
        byName[reg.name] = registers_.size();
        for (const std::string& alias : reg.instructions) byName[alias] = registers_.size();
        registers_.push_back({reg.readBack, reg.capture});
    }
    // An instruction selects the register of its name (or that lists it);
    // any other instruction, like every undefined opcode, selects BYPASS.
    for (const auto& [name, opcode] : config.instructions) {
        const auto found = byName.find(name);
        decode_[KeyOf(opcode)] = found == byName.end() ? kBypassRegister : found->second;
    }
    ir_.Load(irCapture_);
    ResetLogic();
}

bool Device::Tdo() const {
    if (state_ == TapState::IrShift) return ir_.Out();
    if (state_ == TapState::DrShift) return dr_.Out();
    return true;
}

ShiftRing* Device::WordShiftRegister() {
    if (updates_.Enabled()) return nullptr;
    if (state_ == TapState::IrShift) return &ir_;
    if (state_ == TapState::DrShift && !registers_[selected_].readBack) return &dr_;
    return nullptr;
}

void Device::Clock(bool tms, bool tdi) {
    switch (state_) {
        case TapState::IrCapture: ir_.Load(irCapture_); break;
        case TapState::IrShift: ir_.Shift(tdi); break;
        case TapState::DrCapture: dr_.Load(registers_[selected_].value); break;
        case TapState::DrShift: dr_.Shift(tdi); break;
        default: break;
    }
    const TapState next = NextState(state_, tms);
    if (updates_.Enabled() && next != state_) RecordUpdate(next);
    EnterState(next);
}

void Device::RecordUpdate(TapState next) {
    switch (next) {
        case TapState::IrUpdate: updates_.AddValue("IR", ir_.Value()); break;
        case TapState::DrUpdate: updates_.AddValue("DR", dr_.Value()); break;
        case TapState::Reset: updates_.AddEvent("RESET"); break;
        default: break;
    }
}

void Device::EnterState(TapState next) {
    state_ = next;
    switch (next) {
        case TapState::IrUpdate: {
            const auto found = decode_.find(KeyOf(ir_.Value()));
            selected_ = found == decode_.end() ? kBypassRegister : found->second;
            break;
        }
        case TapState::DrUpdate:
            if (registers_[selected_].readBack) registers_[selected_].value = dr_.Value();
            break;
        case TapState::Reset: ResetLogic(); break;
        default: break;
    }
}

void Device::ResetLogic() { selected_ = resetRegister_; }

}  // namespace veltrasim
