// XVC 1.0 client: a batch is cut into shift: commands of the largest vector
// the server allows, all sent at once; the answers are read as they come.
#include <algorithm>
#include <cstring>
#include <vector>

#include "transports.h"

namespace bridge {
namespace {

constexpr char kGetInfo[] = "getinfo:";
constexpr char kSetTck[] = "settck:";
constexpr char kShift[] = "shift:";
constexpr char kInfoPrefix[] = "xvcServer_v1.0:";
constexpr size_t kMaxInfoLength = 64;
constexpr uint32_t kNanosecondsPerKhzPeriod = 1000000;
constexpr size_t kWordBytes = 4;

void PutWord(std::vector<uint8_t>& out, uint32_t value) {
    for (size_t i = 0; i < kWordBytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutText(std::vector<uint8_t>& out, const char* text) {
    out.insert(out.end(), text, text + std::strlen(text));
}

class Xvc final : public Transport {
  public:
    explicit Xvc(Socket socket) : socket_(std::move(socket)) {}

    // Reads the "xvcServer_v1.0:<bytes>\n" answer to getinfo:.
    bool Handshake() {
        std::string error;
        std::vector<uint8_t> out;
        PutText(out, kGetInfo);
        std::string info;
        for (uint8_t c = 0; c != '\n';) {
            if (!socket_.Exchange(out.data(), out.size(), &c, 1, error)) return Fail(error);
            out.clear();
            if (info.size() == kMaxInfoLength) return Fail("XVC: getinfo answer too long");
            info.push_back(static_cast<char>(c));
        }
        const size_t prefix = std::strlen(kInfoPrefix);
        if (info.compare(0, prefix, kInfoPrefix) != 0) {
            return Fail("XVC: unexpected getinfo answer '" + info.substr(0, info.size() - 1) + "'");
        }
        try {
            vectorBytes_ = std::stoul(info.substr(prefix));
        } catch (const std::exception&) {
            vectorBytes_ = 0;
        }
        if (vectorBytes_ == 0) return Fail("XVC: the server allows no vector ('" + info + "')");
        return true;
    }

    bool Run(const ClockBatch& batch, Bits& tdo) override {
        // The largest vector bits per shift: whole bytes, so every answer but
        // the last is whole bytes too and the answers join into one vector.
        const size_t chunkBits = vectorBytes_ * 8;
        const auto& tms = batch.tms.bytes();
        const auto& tdi = batch.tdi.bytes();
        out_.clear();
        for (size_t first = 0; first < batch.size(); first += chunkBits) {
            const size_t bits = std::min(chunkBits, batch.size() - first);
            const size_t bytes = (bits + 7) / 8;
            PutText(out_, kShift);
            PutWord(out_, static_cast<uint32_t>(bits));
            out_.insert(out_.end(), tms.begin() + first / 8, tms.begin() + first / 8 + bytes);
            out_.insert(out_.end(), tdi.begin() + first / 8, tdi.begin() + first / 8 + bytes);
        }
        tdo.Clear();
        tdo.Resize(batch.size());
        std::string error;
        auto& in = tdo.bytes();
        if (!socket_.Exchange(out_.data(), out_.size(), in.data(), in.size(), error)) {
            return Fail(error);
        }
        return true;
    }

    std::optional<uint32_t> SetFrequency(uint32_t khz) override {
        std::vector<uint8_t> out;
        PutText(out, kSetTck);
        PutWord(out, std::max<uint32_t>(1, kNanosecondsPerKhzPeriod / khz));
        uint8_t answer[kWordBytes] = {};
        std::string error;
        if (!socket_.Exchange(out.data(), out.size(), answer, sizeof answer, error)) {
            Fail(error);
            return std::nullopt;
        }
        uint32_t period = 0;
        for (size_t i = 0; i < kWordBytes; ++i) period |= uint32_t{answer[i]} << (8 * i);
        return period == 0 ? khz : std::max<uint32_t>(1, kNanosecondsPerKhzPeriod / period);
    }

  private:
    Socket socket_;
    size_t vectorBytes_ = 0;
    std::vector<uint8_t> out_;
};

}  // namespace

std::unique_ptr<Transport> MakeXvc(Socket socket, std::string& error) {
    auto xvc = std::make_unique<Xvc>(std::move(socket));
    if (!xvc->Handshake()) {
        error = xvc->Error();
        return nullptr;
    }
    return xvc;
}

}  // namespace bridge
