// What svfplay checks before it loads a library or touches a controller: the
// SVF file can be read, and no output (ERROR file, trace) would overwrite an
// input or the other output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "options.h"

namespace svfplay {

// Why svfplay will not run the job, and the result code it reports for it.
struct Refusal {
    uint32_t resultCode = 0;
    std::string message;
};

// `playerLibrary` and `controllerLibrary` are the paths that would be
// loaded (an empty path is not an input: the built-in null controller).
std::optional<Refusal> CheckFiles(const Options& options, const std::string& playerLibrary,
                                  const std::string& controllerLibrary);

// Null when `path` names a regular file that opens for reading; else why not,
// in the operating system's words.
std::optional<std::string> UnreadableReason(const std::string& path);

// Whether two paths name the same existing file (not the same spelling).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace svfplay
