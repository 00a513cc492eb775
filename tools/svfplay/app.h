// svfplay from command line to exit status, with its streams passed in so
// that tests can run it in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "options.h"

namespace svfplay {

// Usage errors and failures to load exit with this status, as player errors do.
inline constexpr int kExitError = 2;

// `args`: the whole command line, program name first. Returns the exit
// status: Svf_Execute's return value, 0 after --help, 2 for a usage error.
int RunSvfplay(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// One run with parsed options.
int RunJob(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace svfplay
