#include "adapter.h"

#include <charconv>
#include <string_view>
#include <vector>

#include "transports.h"

namespace bridge {
namespace {

constexpr int kDefaultTimeoutMs = 3000;
constexpr char kDefaultLayout[] = "generic";
constexpr int kChannels = 4;  // interfaces A to D
constexpr std::string_view kUnixPrefix = "unix:";

struct Request {
    std::string kind;
    std::vector<std::string> fields;  // after the kind, split at ':'
    int timeoutMs = kDefaultTimeoutMs;
    std::string layout = kDefaultLayout;
    std::string serial;
    std::string bus;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

bool Number(const std::string& text, int base, int& value) {
    std::string digits = text;
    if (base == 16 && digits.size() > 2 && digits[0] == '0' && (digits[1] | 0x20) == 'x') {
        digits.erase(0, 2);
    }
    const char* end = digits.data() + digits.size();
    const auto [at, ec] = std::from_chars(digits.data(), end, value, base);
    return !digits.empty() && ec == std::errc() && at == end && value >= 0;
}

bool Parse(const std::string& adapter, Request& request, std::string& error) {
    auto options = Split(adapter, ',');
    const std::string head = options.front();
    options.erase(options.begin());
    for (const std::string& option : options) {
        const size_t equals = option.find('=');
        const std::string name = option.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : option.substr(equals + 1);
        if (name == "timeout" && Number(value, 10, request.timeoutMs) && request.timeoutMs > 0)
            continue;
        if (name == "layout" && !value.empty()) {
            request.layout = value;
        } else if (name == "serial" && !value.empty()) {
            request.serial = value;
        } else if (name == "bus" && !value.empty()) {
            request.bus = value;
        } else {
            error = "adapter option '" + option + "' is not known or has no valid value";
            return false;
        }
    }
    const size_t colon = head.find(':');
    request.kind = head.substr(0, colon);
    if (request.kind != "remote_bitbang" && request.kind != "unix" && request.kind != "xvc" &&
        request.kind != "ftdi") {
        error = "unknown adapter kind '" + request.kind + "' (remote_bitbang, unix, xvc, ftdi)";
        return false;
    }
    if (colon == std::string::npos) {
        error = "adapter '" + adapter + "' has no address";
        return false;
    }
    const std::string rest = head.substr(colon + 1);
    // A unix path or an IPv6 host may hold ':' itself: only the port is split off.
    if (request.kind == "unix" || rest.rfind(kUnixPrefix, 0) == 0) {
        request.fields = {"unix", request.kind == "unix" ? rest : rest.substr(kUnixPrefix.size())};
        if (request.kind == "unix") request.kind = "remote_bitbang";
    } else if (request.kind == "ftdi") {
        request.fields = Split(rest, ':');
    } else {
        const size_t port = rest.rfind(':');
        if (port == std::string::npos) {
            error = "adapter '" + adapter + "' needs HOST:PORT";
            return false;
        }
        request.fields = {rest.substr(0, port), rest.substr(port + 1)};
    }
    return true;
}

bool Connect(const Request& request, Socket& socket, std::string& error) {
    if (request.fields[0] == "unix")
        return socket.ConnectUnix(request.fields[1], request.timeoutMs, error);
    return socket.ConnectTcp(request.fields[0], request.fields[1], request.timeoutMs, error);
}

std::unique_ptr<Transport> OpenFtdiAdapter(const Request& request, std::string& error) {
    FtdiSelector selector;
    int vendor = 0;
    int product = 0;
    const auto& f = request.fields;
    if (f.size() < 2 || f.size() > 3 || !Number(f[0], 16, vendor) || !Number(f[1], 16, product) ||
        vendor > 0xFFFF || product > 0xFFFF) {
        error = "ftdi adapter needs ftdi:VID:PID[:INTERFACE] with hexadecimal VID and PID";
        return nullptr;
    }
    selector.vendor = static_cast<uint16_t>(vendor);
    selector.product = static_cast<uint16_t>(product);
    if (f.size() == 3) {
        selector.channel = f[2].size() == 1 ? (f[2][0] | 0x20) - 'a' : -1;
        if (selector.channel < 0 || selector.channel >= kChannels) {
            error = "ftdi interface '" + f[2] + "' is not A, B, C or D";
            return nullptr;
        }
    }
    selector.serial = request.serial;
    selector.timeoutMs = request.timeoutMs;
    if (!request.bus.empty()) {
        const auto bus = Split(request.bus, ':');
        if (bus.size() != 2 || !Number(bus[0], 10, selector.bus) ||
            !Number(bus[1], 10, selector.address)) {
            error = "ftdi bus path '" + request.bus + "' is not BUS:ADDRESS";
            return nullptr;
        }
    }
    const auto layout = FindMpsseLayout(request.layout);
    if (!layout) {
        error = "unknown ftdi layout '" + request.layout + "' (generic, trst-adbus4, buffered)";
        return nullptr;
    }
    auto port = OpenFtdi(selector, error);
    return port ? MakeMpsse(std::move(port), *layout, error) : nullptr;
}

}  // namespace

std::unique_ptr<Transport> OpenAdapter(const std::string& adapter, std::string& error) {
    Request request;
    if (!Parse(adapter, request, error)) return nullptr;
    if (request.kind == "ftdi") return OpenFtdiAdapter(request, error);
    Socket socket;
    if (!Connect(request, socket, error)) return nullptr;
    if (request.kind == "xvc") return MakeXvc(std::move(socket), error);
    return MakeRemoteBitbang(std::move(socket));
}

}  // namespace bridge
