#include "adapter.h"

#include <initializer_list>
#include <string_view>

#include "shared_library.h"
#include "veltra_bridge.h"

namespace svfplay {

namespace {

#if defined(_WIN32)
// The bridge is not built for Windows; the name only makes the error clear.
constexpr const char* kBridgeLibraryName = "veltra_bridge_64.dll";
#else
constexpr const char* kBridgeLibraryName = "libveltra_bridge.so.2";
#endif

// Appends the pieces in order (operator+ chains on strings trip a false
// -Wrestrict in some GCC versions at -O3).
std::string Join(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const auto part : parts) text.append(part);
    return text;
}

}  // namespace

std::unique_ptr<Controller> OpenAdapter(const std::string& adapter,
                                        const std::string& bridgeLibrary, std::string& error) {
    const auto path = LibraryPath(bridgeLibrary, kBridgeLibraryName);
    auto controller = Controller::Load(path, error);
    if (!controller) return nullptr;
    // A second reference to the library the controller holds, for its extra exports.
    std::string reason;
    const SharedLibrary bridge = SharedLibrary::Open(path, reason);
    const auto open = bridge.Function<VeltraBridgeOpenFunction>(VELTRA_BRIDGE_OPEN_SYMBOL);
    const auto lastError =
        bridge.Function<VeltraBridgeLastErrorFunction>(VELTRA_BRIDGE_LAST_ERROR_SYMBOL);
    if (open == nullptr || lastError == nullptr) {
        error =
            Join({"'", path.string(), "' is not the bridge (no ", VELTRA_BRIDGE_OPEN_SYMBOL, ")"});
        return nullptr;
    }
    if (open(adapter.c_str()) != 0) {
        error = Join({"cannot open adapter '", adapter, "': ", lastError()});
        return nullptr;
    }
    return controller;
}

}  // namespace svfplay
