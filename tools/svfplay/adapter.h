// --adapter: play through the bridge, the controller library that drives
// common JTAG adapters, after telling it which adapter to open.
#pragma once

#include <memory>
#include <string>

#include "libraries.h"

namespace svfplay {

// The bridge (the --controller path, else the one next to svfplay) with the
// adapter `adapter` open; null and the reason in `error`.
std::unique_ptr<Controller> OpenAdapter(const std::string& adapter,
                                        const std::string& bridgeLibrary, std::string& error);

}  // namespace svfplay
