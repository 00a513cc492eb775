// The FTDI channel through libftdi1 (absent when the bridge is built without
// it: then ftdi adapters are refused with a reason).
#include "ftdi_port.h"

#if defined(BRIDGE_HAVE_LIBFTDI)
#include <ftdi.h>

#include <chrono>
#include <thread>
#endif

namespace bridge {

#if defined(BRIDGE_HAVE_LIBFTDI)
namespace {

constexpr unsigned char kLatencyMs = 2;
constexpr auto kPollPause = std::chrono::microseconds(100);

struct FtdiDeleter {
    void operator()(ftdi_context* ftdi) const {
        ftdi_usb_close(ftdi);
        ftdi_free(ftdi);
    }
};

class LibFtdiPort final : public FtdiPort {
  public:
    LibFtdiPort(ftdi_context* ftdi, int timeoutMs) : ftdi_(ftdi), timeoutMs_(timeoutMs) {}

    bool Write(const uint8_t* data, size_t size, std::string& error) override {
        while (size > 0) {
            const int n = ftdi_write_data(ftdi_.get(), data, static_cast<int>(size));
            if (n <= 0) return Failed(error, "USB write");
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    bool Read(uint8_t* data, size_t size, std::string& error) override {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
        while (size > 0) {
            const int n = ftdi_read_data(ftdi_.get(), data, static_cast<int>(size));
            if (n < 0) return Failed(error, "USB read");
            data += n;
            size -= static_cast<size_t>(n);
            if (size > 0 && std::chrono::steady_clock::now() > deadline) {
                error = "USB read: " + std::to_string(size) + " bytes missing after " +
                        std::to_string(timeoutMs_) + " ms";
                return false;
            }
            if (n == 0) std::this_thread::sleep_for(kPollPause);
        }
        return true;
    }

  private:
    bool Failed(std::string& error, const char* what) {
        error = std::string(what) + ": " + ftdi_get_error_string(ftdi_.get());
        return false;
    }

    std::unique_ptr<ftdi_context, FtdiDeleter> ftdi_;
    int timeoutMs_;
};

}  // namespace

std::unique_ptr<FtdiPort> OpenFtdi(const FtdiSelector& s, std::string& error) {
    ftdi_context* raw = ftdi_new();
    if (raw == nullptr) {
        error = "libftdi1: out of memory";
        return nullptr;
    }
    std::unique_ptr<ftdi_context, FtdiDeleter> ftdi(raw);
    const auto channel = static_cast<ftdi_interface>(INTERFACE_A + s.channel);
    int rc = ftdi_set_interface(raw, channel);
    if (rc == 0) {
        rc = s.bus >= 0 ? ftdi_usb_open_bus_addr(raw, static_cast<uint8_t>(s.bus),
                                                 static_cast<uint8_t>(s.address))
                        : ftdi_usb_open_desc(raw, s.vendor, s.product, nullptr,
                                             s.serial.empty() ? nullptr : s.serial.c_str());
    }
    if (rc == 0) rc = ftdi_usb_reset(raw);
    if (rc == 0) rc = ftdi_set_latency_timer(raw, kLatencyMs);
    if (rc == 0) rc = ftdi_tcioflush(raw);
    if (rc == 0) rc = ftdi_set_bitmode(raw, 0, BITMODE_RESET);
    if (rc == 0) rc = ftdi_set_bitmode(raw, 0, BITMODE_MPSSE);
    if (rc != 0) {
        error = std::string("cannot open the FTDI device: ") + ftdi_get_error_string(raw);
        return nullptr;
    }
    return std::make_unique<LibFtdiPort>(ftdi.release(), s.timeoutMs);
}

#else

std::unique_ptr<FtdiPort> OpenFtdi(const FtdiSelector&, std::string& error) {
    error = "this bridge was built without libftdi1: no ftdi adapters";
    return nullptr;
}

#endif

}  // namespace bridge
