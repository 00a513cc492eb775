#include "platform/platform.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#endif

namespace svf::platform {

namespace {
MillisecondClockFunction clockOverride = nullptr;
}  // namespace

void SetMillisecondClockOverride(MillisecondClockFunction clock) { clockOverride = clock; }

int32_t MillisecondClock() {
    if (clockOverride != nullptr) return clockOverride();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

#if defined(_WIN32)

namespace {

constexpr const char* kControllerDll = "veltra_64.dll";
constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;

uint32_t FileVersionOf(const char* path) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return 0;
    std::string data(size, '\0');
    if (!GetFileVersionInfoA(path, 0, size, data.data())) return 0;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) ||
        info == nullptr || length < sizeof(VS_FIXEDFILEINFO) ||
        info->dwSignature != kFixedFileInfoSignature) {
        return 0;
    }
    return info->dwFileVersionMS;
}

}  // namespace

uint32_t ModuleFileVersion(const void* address) {
    HMODULE module = nullptr;
    char path[MAX_PATH];
    if (address != nullptr &&
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCSTR>(address), &module) &&
        module != GetModuleHandleA(nullptr)) {
        const DWORD length = GetModuleFileNameA(module, path, sizeof path);
        if (length > 0 && length < sizeof path) {
            if (const uint32_t version = FileVersionOf(path)) return version;
        }
    }
    return FileVersionOf(kControllerDll);
}

#else

namespace {

// "libveltra.so.2.2" -> 0x00020002; anything else -> 0.
uint32_t VersionFromFileName(const char* path) {
    const char* name = std::strrchr(path, '/');
    name = name != nullptr ? name + 1 : path;
    const char* suffix = std::strstr(name, ".so.");
    if (suffix == nullptr) return 0;
    const char* cursor = suffix + 4;
    char* end = nullptr;
    const unsigned long major = std::strtoul(cursor, &end, 10);
    if (end == cursor || *end != '.') return 0;
    cursor = end + 1;
    const unsigned long minor = std::strtoul(cursor, &end, 10);
    if (end == cursor || (*end != '\0' && *end != '.')) return 0;
    if (major > 0xFFFF || minor > 0xFFFF) return 0;
    return static_cast<uint32_t>(major << 16 | minor);
}

}  // namespace

uint32_t ModuleFileVersion(const void* address) {
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return 0;
    }
    char resolved[PATH_MAX];
    const char* path = realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname;
    return VersionFromFileName(path);
}

#endif

}  // namespace svf::platform
