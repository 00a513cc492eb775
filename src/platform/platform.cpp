#include "platform/platform.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <sys/types.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>
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

// The controller library is the file of that name wherever the table came
// from: a host that builds its own table still talks to veltra_64.dll.
uint32_t ModuleFileVersion(const void* /*address*/) { return FileVersionOf(kControllerDll); }

void RemoveFile(const char* path) { std::remove(path); }  // never removes a folder here

namespace {
int GetByte(std::FILE* file) { return std::getc(file); }
bool IsReadable(int fd) {
    struct _stat64 info {};
    if (_fstat64(fd, &info) != 0) return false;
    const auto type = info.st_mode & _S_IFMT;
    return type == _S_IFREG || type == _S_IFCHR || type == _S_IFIFO;
}
}  // namespace

std::FILE* OpenInputFile(const char* path) {
    std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file != nullptr && !IsReadable(_fileno(file))) {
        std::fclose(file);
        return nullptr;
    }
    return file;
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

void RemoveFile(const char* path) { unlink(path); }

namespace {
int GetByte(std::FILE* file) { return getc_unlocked(file); }
bool IsReadable(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    return S_ISREG(info.st_mode) || S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode);
}
}  // namespace

std::FILE* OpenInputFile(const char* path) {
    std::FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file != nullptr && !IsReadable(fileno(file))) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

#endif

namespace {
constexpr int kCarriageReturn = '\r';
constexpr int kCtrlZ = 0x1A;
}  // namespace

int GetTextChar(std::FILE* file) {
    const int c = GetByte(file);
    if (c == kCtrlZ) {
        // Pushed back, so every later read ends here too.
        std::ungetc(c, file);
        return EOF;
    }
    if (c != kCarriageReturn) return c;
    const int next = GetByte(file);
    if (next == '\n') return next;
    if (next != EOF) std::ungetc(next, file);
    return c;
}

size_t ReadTextLine(std::FILE* file, char* buffer, size_t capacity) {
    size_t length = 0;
    while (length + 1 < capacity) {
        const int c = GetTextChar(file);
        if (c == EOF) break;
        buffer[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    if (capacity > 0) buffer[length] = '\0';
    return length;
}

}  // namespace svf::platform
