#include "adapter.h"

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
        error = "'" + path.string() + "' is not the bridge (no " VELTRA_BRIDGE_OPEN_SYMBOL ")";
        return nullptr;
    }
    if (open(adapter.c_str()) != 0) {
        error = "cannot open adapter '" + adapter + "': " + lastError();
        return nullptr;
    }
    return controller;
}

}  // namespace svfplay
