#include "platform/platform.h"

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <sys/stat.h>
#include <sys/types.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace svf::platform {

namespace {
MillisecondClockFunction clockOverride = nullptr;
}  // namespace

void SetMillisecondClockOverride(MillisecondClockFunction clock) { clockOverride = clock; }

// Read once per SVF line by the abort poll, so the cheapest clock that
// counts milliseconds: the tick count on Windows, the coarse monotonic clock
// (updated every few milliseconds, read without a time-stamp counter) on Linux.
int32_t MillisecondClock() {
    if (clockOverride != nullptr) return clockOverride();
#if defined(_WIN32)
    return static_cast<int32_t>(GetTickCount());
#elif defined(CLOCK_MONOTONIC_COARSE)
    constexpr int64_t kMillisecondsPerSecond = 1000;
    constexpr int64_t kNanosecondsPerMillisecond = 1000000;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    const int64_t ms =
        int64_t{now.tv_sec} * kMillisecondsPerSecond + now.tv_nsec / kNanosecondsPerMillisecond;
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
#else
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
#endif
}

#if defined(_WIN32)

void* AllocateLargeBlock(size_t bytes) { return std::malloc(bytes); }
void FreeLargeBlock(void* block) { std::free(block); }

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

void* AllocateLargeBlock(size_t bytes) {
    const size_t rounded = (bytes + kLargeBlockBytes - 1) / kLargeBlockBytes * kLargeBlockBytes;
    void* block = rounded >= bytes ? std::aligned_alloc(kLargeBlockBytes, rounded) : nullptr;
#if defined(MADV_HUGEPAGE)
    if (block != nullptr) madvise(block, rounded, MADV_HUGEPAGE);  // a hint: failing is harmless
#endif
    return block;
}

void FreeLargeBlock(void* block) { std::free(block); }

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
    if (capacity < 2 || capacity > static_cast<size_t>(INT_MAX)) {
        if (capacity > 0) buffer[0] = '\0';
        return 0;
    }
    // fgets copies a whole line at once (a character at a time cost more
    // than all the rest of reading a pattern line), but does not say how many
    // characters it stored when NUL bytes are among them. With the buffer
    // filled with line ends first, the line's end is the first '\n' that has
    // the terminator after it; without one, the terminator stands before the
    // first '\n' (or last in the buffer, for a line that filled it).
    std::memset(buffer, '\n', capacity);
    if (std::fgets(buffer, static_cast<int>(capacity), file) == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    const auto* lineEnd = static_cast<const char*>(std::memchr(buffer, '\n', capacity));
    size_t length = capacity - 1;
    bool ended = false;  // by its own '\n'
    if (lineEnd != nullptr) {
        const auto at = static_cast<size_t>(lineEnd - buffer);
        ended = at + 1 < capacity && buffer[at + 1] == '\0';
        length = ended ? at + 1 : at - 1;
    }
    // The text-mode rules on what was read: a Ctrl-Z ends the file, pushed
    // back so that every later read ends there too; CR LF is one '\n'.
    if (const void* end = std::memchr(buffer, kCtrlZ, length); end != nullptr) {
        length = static_cast<size_t>(static_cast<const char*>(end) - buffer);
        buffer[length] = '\0';
        std::ungetc(kCtrlZ, file);
        return length;
    }
    if (length >= 2 && ended && buffer[length - 2] == kCarriageReturn) {
        buffer[length - 2] = '\n';
        buffer[--length] = '\0';
    } else if (!ended && buffer[length - 1] == kCarriageReturn) {
        // The CR took the last place, or the file ended after it.
        const int next = GetByte(file);
        if (next == '\n') {
            buffer[length - 1] = '\n';
        } else if (next != EOF) {
            std::ungetc(next, file);
        }
    }
    return length;
}

}  // namespace svf::platform
