// Adapter strings ("remote_bitbang:HOST:PORT", "xvc:HOST:PORT", "ftdi:VID:PID",
// options after commas) and the transport each one opens.
#pragma once

#include <memory>
#include <string>

#include "transport.h"

namespace bridge {

// The connected transport, or null and the reason in `error`.
std::unique_ptr<Transport> OpenAdapter(const std::string& adapter, std::string& error);

}  // namespace bridge
