#include "preflight.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "shared_library.h"
#include "svfplayer/svf_player.h"

namespace svfplay {

namespace {

struct NamedPath {
    const char* role;
    std::string path;
    const char* option = nullptr;  // outputs: the option that names them
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::optional<std::string> UnreadableReason(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    // Opening a folder works on some systems, and opening a FIFO may block.
    if (fs::is_directory(status)) return SystemErrorText(EISDIR);
    if (fs::exists(status) && !fs::is_regular_file(status)) return "not a regular file";
    errno = 0;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return SystemErrorText(errno != 0 ? errno : ENOENT);
    return std::nullopt;
}

bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error)) return fs::equivalent(a, b, error) && !error;
    // Not both there yet (two outputs): the same place once links are resolved.
    const fs::path first = fs::weakly_canonical(a, error);
    if (error) return false;
    const fs::path second = fs::weakly_canonical(b, error);
    return !error && first == second;
}

std::optional<Refusal> CheckFiles(const Options& options, const std::string& playerLibrary,
                                  const std::string& controllerLibrary) {
    if (const auto reason = UnreadableReason(options.svfFile)) {
        return Refusal{SVF_RESULT_NOT_OPENED, "cannot read '" + options.svfFile + "': " + *reason};
    }
    const std::vector<NamedPath> inputs = {
        {"the SVF file", options.svfFile},     {"the board file", options.boardFile},
        {"the CNN file", options.cnnFile},     {"the PIO mapping file", options.pioMapFile},
        {"the player library", playerLibrary}, {"the controller library", controllerLibrary},
    };
    const std::vector<NamedPath> outputs = {
        {"the ERROR file", options.errorFile, "--error-file"},
        {"the trace file", options.traceFile, "--trace"},
        {"the update log", options.updateLogFile, "--update-log"}};
    std::vector<NamedPath> earlier = inputs;
    for (const NamedPath& output : outputs) {
        if (output.path.empty()) continue;
        for (const NamedPath& other : earlier) {
            if (other.path.empty() || !SameFile(output.path, other.path)) continue;
            return Refusal{SVF_RESULT_NOT_OPENED, std::string(output.option) + " '" + output.path +
                                                      "' names " + other.role +
                                                      ": refusing to overwrite it"};
        }
        earlier.push_back(output);
    }
    return std::nullopt;
}

}  // namespace svfplay
