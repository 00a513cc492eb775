#include "board.h"

#include "svfplayer/svf_player.h"

namespace veltrasim {
namespace {

constexpr uint32_t kDefaultIrLength = 8;
constexpr uint32_t kDefaultIdcode = 0x0123A093;
constexpr uint64_t kIdcodeOpcode = 0x01;
constexpr uint64_t kScratchOpcode = 0x02;
constexpr uint64_t kBypassOpcode = 0xFF;
constexpr uint32_t kScratchLength = 32;
constexpr uint64_t kIrCapture = 0x01;

DeviceConfig DefaultDevice() {
    DeviceConfig device;
    device.name = "device";
    device.irLength = kDefaultIrLength;
    device.irCapture = BitsOf(kIrCapture, kDefaultIrLength);
    device.idcode = kDefaultIdcode;
    device.instructions["IDCODE"] = BitsOf(kIdcodeOpcode, kDefaultIrLength);
    device.instructions["SCRATCH"] = BitsOf(kScratchOpcode, kDefaultIrLength);
    device.instructions["BYPASS"] = BitsOf(kBypassOpcode, kDefaultIrLength);
    RegisterConfig scratch;
    scratch.name = "SCRATCH";
    scratch.length = kScratchLength;
    scratch.readBack = true;
    scratch.capture = Bits(kScratchLength, 0);
    device.registers.push_back(std::move(scratch));
    return device;
}

}  // namespace

Bits BitsOf(uint64_t value, uint32_t length) {
    constexpr uint32_t kValueBits = 64;
    Bits bits(length, 0);
    for (uint32_t i = 0; i < length && i < kValueBits; ++i) {
        bits[i] = static_cast<uint8_t>((value >> i) & 1u);
    }
    return bits;
}

std::string KeyOf(const Bits& bits) {
    std::string key(bits.size(), '0');
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (bits[i]) key[i] = '1';
    }
    return key;
}

BoardConfig DefaultBoard() {
    BoardConfig board;
    board.controller.infoValidBits =
        VELTRA_INFO_TYPE_VALID | VELTRA_INFO_FREQUENCY_VALID | VELTRA_INFO_LONG_SHIFT_VALID;
    const DeviceConfig device = DefaultDevice();
    for (TapConfig& tap : board.taps) tap.devices.push_back(device);
    return board;
}

}  // namespace veltrasim
