#include "xvc.h"

#include <array>
#include <cctype>

namespace veltraserve {
namespace {

constexpr std::string_view kGetInfo = "getinfo:";
constexpr std::string_view kSetTck = "settck:";
constexpr std::string_view kShift = "shift:";
constexpr std::array<std::string_view, 3> kCommands{kGetInfo, kSetTck, kShift};
constexpr std::size_t kIntegerBytes = 4;
constexpr unsigned kBitsPerByte = 8;
constexpr std::size_t kShownBytes = 16;  // of an unknown command, in the message

uint32_t LittleEndian(std::string_view bytes) {
    uint32_t value = 0;
    for (std::size_t i = kIntegerBytes; i-- > 0;) {
        value = value << kBitsPerByte | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

bool BitOf(std::string_view vector, uint64_t bit) {
    return (static_cast<unsigned char>(vector[bit / kBitsPerByte]) >> (bit % kBitsPerByte)) & 1u;
}

// The first bytes of an unknown command, printable.
std::string Shown(std::string_view bytes) {
    std::string text;
    for (const char c : bytes.substr(0, kShownBytes)) {
        text += std::isprint(static_cast<unsigned char>(c)) ? c : '.';
    }
    return text;
}

}  // namespace

bool XvcSession::Feed(std::string_view data, std::string& reply, std::string& error) {
    pending_.append(data);
    std::size_t start = 0;
    int64_t used = 0;
    while (start < pending_.size() &&
           (used = Execute(std::string_view(pending_).substr(start), reply, error)) > 0) {
        start += static_cast<std::size_t>(used);
    }
    pending_.erase(0, start);
    return used >= 0;
}

int64_t XvcSession::Execute(std::string_view in, std::string& reply, std::string& error) {
    if (in.starts_with(kGetInfo)) {
        reply += "xvcServer_v1.0:" + std::to_string(maxVectorBytes_) + "\n";
        return static_cast<int64_t>(kGetInfo.size());
    }
    if (in.starts_with(kSetTck)) {
        const std::size_t size = kSetTck.size() + kIntegerBytes;
        if (in.size() < size) return 0;
        // Any period is fine for a simulated chain: report it as used.
        reply.append(in.substr(kSetTck.size(), kIntegerBytes));
        return static_cast<int64_t>(size);
    }
    if (in.starts_with(kShift)) {
        const std::size_t header = kShift.size() + kIntegerBytes;
        if (in.size() < header) return 0;
        const uint32_t bits = LittleEndian(in.substr(kShift.size()));
        const uint64_t bytes = (uint64_t{bits} + kBitsPerByte - 1) / kBitsPerByte;
        if (bytes > maxVectorBytes_) {
            error = "shift: " + std::to_string(bits) + " bits exceed the maximum vector of " +
                    std::to_string(maxVectorBytes_) + " bytes";
            return -1;
        }
        if (in.size() < header + 2 * bytes) return 0;
        const std::string_view tms = in.substr(header, bytes);
        const std::string_view tdi = in.substr(header + bytes, bytes);
        std::string tdo(bytes, '\0');
        for (uint64_t i = 0; i < bits; ++i) {
            if (board_.Clock(BitOf(tms, i), BitOf(tdi, i))) {
                tdo[i / kBitsPerByte] =
                    static_cast<char>(tdo[i / kBitsPerByte] | 1 << (i % kBitsPerByte));
            }
        }
        reply += tdo;
        return static_cast<int64_t>(header + 2 * bytes);
    }
    for (const std::string_view command : kCommands) {
        if (command.starts_with(in)) return 0;  // the rest of the name is yet to come
    }
    error = "unknown command '" + Shown(in) + "'";
    return -1;
}

}  // namespace veltraserve
