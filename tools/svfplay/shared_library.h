// The few operating-system calls svfplay needs: loading a shared library,
// finding the folder of the running executable, asking whether stderr is a
// terminal.
#pragma once

#include <filesystem>
#include <string>

#include "svfplayer/svf_player.h"

namespace svfplay {

#define SVFPLAY_TEXT(x) SVFPLAY_TEXT_OF(x)
#define SVFPLAY_TEXT_OF(x) #x

// File names of the libraries svfplay loads by default: next to itself, or
// (installed) in kInstalledLibraryFolder beside its own folder.
#if defined(_WIN32)
inline constexpr const char* kPlayerLibraryName = "svfplayer.dll";
inline constexpr const char* kControllerLibraryName = "veltra_64.dll";
inline constexpr const char* kExecutableSuffix = ".exe";
#else
inline constexpr const char* kPlayerLibraryName =
    "libsvfplayer.so." SVFPLAY_TEXT(SVFPLAYER_VERSION_MAJOR);
inline constexpr const char* kControllerLibraryName = "libveltra.so.2";
inline constexpr const char* kExecutableSuffix = "";
#endif
inline constexpr const char* kInstalledLibraryFolder = "lib";

// A loaded shared library, unloaded when the object goes away.
class SharedLibrary {
  public:
    SharedLibrary() = default;
    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // Loads `path`; on failure returns an empty object and fills `error`.
    static SharedLibrary Open(const std::filesystem::path& path, std::string& error);

    bool IsOpen() const { return handle_ != nullptr; }
    // Address of an exported symbol, or null.
    void* Symbol(const char* name) const;

    // Typed form: Function<decltype(&Foo)>("Foo").
    template <typename FunctionPointer>
    FunctionPointer Function(const char* name) const {
        return reinterpret_cast<FunctionPointer>(Symbol(name));
    }

  private:
    explicit SharedLibrary(void* handle) : handle_(handle) {}
    void Close();

    void* handle_ = nullptr;
};

// Folder of the running executable (empty when it cannot be found).
std::filesystem::path ExecutableDirectory();

bool StderrIsTerminal();

// The version a library file carries: the Windows file version resource
// ("1.2.0.0"), or the numbers after ".so." of the file a POSIX name finally
// points to ("2.2"). Empty when there is none.
std::string FileVersion(const std::filesystem::path& path);

// The operating system's text for an errno value.
std::string SystemErrorText(int error);

}  // namespace svfplay
