#include "shared_library.h"

#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace svfplay {

SharedLibrary::~SharedLibrary() { Close(); }

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

#if defined(_WIN32)

namespace {

std::string LastWindowsError() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message =
        length > 0 && text != nullptr ? std::string(text, length) : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

}  // namespace

SharedLibrary SharedLibrary::Open(const std::filesystem::path& path, std::string& error) {
    std::filesystem::path native = path;
    native.make_preferred();
    // Altered search path: the library's own folder comes first for its imports.
    HMODULE module = LoadLibraryExW(native.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        error = LastWindowsError();
        return SharedLibrary();
    }
    return SharedLibrary(reinterpret_cast<void*>(module));
}

void* SharedLibrary::Symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void SharedLibrary::Close() {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(std::exchange(handle_, nullptr)));
}

std::filesystem::path ExecutableDirectory() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer).parent_path();
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::string FileVersion(const std::filesystem::path& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
        info == nullptr) {
        return {};
    }
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionLS));
}

#else

SharedLibrary SharedLibrary::Open(const std::filesystem::path& path, std::string& error) {
    // Never unmapped: the process ends soon after, and a library that links
    // its C++ runtime statically keeps runtime pools that would otherwise be
    // reported as leaked.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const char* text = dlerror();
        error = text != nullptr ? text : "cannot load " + path.string();
        return SharedLibrary();
    }
    return SharedLibrary(handle);
}

void* SharedLibrary::Symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return dlsym(handle_, name);
}

void SharedLibrary::Close() {
    if (handle_ != nullptr) dlclose(std::exchange(handle_, nullptr));
}

std::filesystem::path ExecutableDirectory() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return self.parent_path();
}

bool StderrIsTerminal() { return isatty(fileno(stderr)) != 0; }

std::string FileVersion(const std::filesystem::path& path) {
    std::error_code error;
    const std::string name = std::filesystem::canonical(path, error).filename().string();
    constexpr std::string_view kVersionedSuffix = ".so.";
    const size_t suffix = name.find(kVersionedSuffix);
    return error || suffix == std::string::npos ? std::string()
                                                : name.substr(suffix + kVersionedSuffix.size());
}

#endif

std::string SystemErrorText(int error) { return std::strerror(error); }

}  // namespace svfplay
