// remote_bitbang client: every clock is a TCK-low write, an 'R' when TDO is
// wanted, and a TCK-high write. A whole batch goes out as one stream and the
// answers are read as they come, never one round trip per bit.
#include <vector>

#include "transports.h"

namespace bridge {
namespace {

constexpr char kPinsLow = '0';   // + (TMS << 1 | TDI), TCK low
constexpr char kPinsHigh = '4';  // + (TMS << 1 | TDI), TCK high
constexpr char kRead = 'R';
constexpr char kResetLines = 'r';  // + (2 * TRST asserted + SRST asserted)
constexpr char kTrstAsserted = 't';
constexpr char kQuit = 'Q';
constexpr char kTdoHigh = '1';
constexpr char kTdoLow = '0';

class RemoteBitbang final : public Transport {
  public:
    explicit RemoteBitbang(Socket socket) : socket_(std::move(socket)) {}

    bool Run(const ClockBatch& batch, Bits& tdo) override {
        out_.clear();
        out_.reserve(batch.size() * 3);
        size_t reads = 0;
        for (size_t i = 0; i < batch.size(); ++i) {
            const int pins = (batch.tms[i] ? 2 : 0) | (batch.tdi[i] ? 1 : 0);
            out_.push_back(static_cast<uint8_t>(kPinsLow + pins));
            if (batch.read[i]) {
                out_.push_back(kRead);
                ++reads;
            }
            out_.push_back(static_cast<uint8_t>(kPinsHigh + pins));
        }
        in_.resize(reads);
        std::string error;
        if (!socket_.Exchange(out_.data(), out_.size(), in_.data(), in_.size(), error)) {
            return Fail(error);
        }
        tdo.Clear();
        tdo.Resize(batch.size());
        size_t next = 0;
        for (size_t i = 0; i < batch.size(); ++i) {
            if (!batch.read[i]) continue;
            const uint8_t level = in_[next++];
            if (level != kTdoHigh && level != kTdoLow) {
                return Fail("remote_bitbang: unexpected answer byte " + std::to_string(level));
            }
            if (level == kTdoHigh) tdo.Set(i, true);
        }
        return true;
    }

    std::optional<uint32_t> SetFrequency(uint32_t) override { return std::nullopt; }
    bool HasTrst() const override { return true; }

    bool SetTrst(bool asserted) override {
        const uint8_t command = asserted ? kTrstAsserted : kResetLines;
        std::string error;
        return socket_.Exchange(&command, 1, nullptr, 0, error) || Fail(error);
    }

    void Leave() override {
        const uint8_t quit = kQuit;
        std::string ignored;
        socket_.Exchange(&quit, 1, nullptr, 0, ignored);
    }

  private:
    Socket socket_;
    std::vector<uint8_t> out_;
    std::vector<uint8_t> in_;
};

}  // namespace

std::unique_ptr<Transport> MakeRemoteBitbang(Socket socket) {
    return std::make_unique<RemoteBitbang>(std::move(socket));
}

}  // namespace bridge
