#include "remote_bitbang.h"

#include <cstdio>

namespace veltraserve {
namespace {

constexpr unsigned kTckBit = 4;  // '0' + (TCK << 2 | TMS << 1 | TDI)
constexpr unsigned kTmsBit = 2;
constexpr unsigned kTdiBit = 1;
constexpr unsigned kTrstBit = 2;  // 'r' + (TRST << 1 | SRST)

}  // namespace

bool RemoteBitbangSession::Feed(std::string_view data, std::string& reply, std::string& notes) {
    for (const char c : data) {
        if (c >= '0' && c <= '7') {
            const unsigned pins = static_cast<unsigned>(c - '0');
            const bool tck = (pins & kTckBit) != 0;
            // The devices sample TMS and TDI on the rising edge.
            if (tck && !tck_) board_.Clock((pins & kTmsBit) != 0, (pins & kTdiBit) != 0);
            tck_ = tck;
        } else if (c == 'R') {
            reply += board_.Tdo() ? '1' : '0';
        } else if (c >= 'r' && c <= 'u') {
            // SRST has nothing to reset on the simulated board.
            board_.SetTrst((static_cast<unsigned>(c - 'r') & kTrstBit) != 0);
        } else if (c == 'B' || c == 'b') {
            // The LED: nothing to show.
        } else if (c == 'Q') {
            return false;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            if (!noted_.test(byte)) {
                noted_.set(byte);
                char text[64];
                std::snprintf(text, sizeof text, "remote_bitbang: ignoring unknown byte 0x%02X\n",
                              byte);
                notes += text;
            }
        }
    }
    return true;
}

}  // namespace veltraserve
