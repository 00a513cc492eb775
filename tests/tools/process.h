// Runs a program to completion with its output captured, without a shell.
#pragma once

#include <string>
#include <vector>

namespace svftest {

struct ProcessResult {
    int exitCode = -1;  // -1: could not be started or did not exit normally
    std::string out;
    std::string err;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args);

}  // namespace svftest
