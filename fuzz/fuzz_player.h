// What the fuzz targets share: one job through Svf_Execute against svfplay's
// null controller (no board, so long scans cost little), messages formatted
// and dropped, side files written where the job reads them.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "controller/controller.h"
#include "null_controller.h"

namespace fuzz {

// The host's line array: `text` cut at line feeds; a NUL byte ends its line
// early, as the host's lines are C strings.
struct MemoryLines {
    explicit MemoryLines(std::string_view text) {
        for (size_t start = 0, end = 0; start <= text.size(); start = end + 1) {
            end = std::min(text.find('\n', start), text.size());
            lines.emplace_back(text.substr(start, end - start));
        }
        for (const std::string& line : lines) pointers.push_back(line.c_str());
        pointers.push_back(nullptr);
    }
    std::vector<std::string> lines;
    std::vector<const char*> pointers;
};

inline std::string PathOf(const char* name) {
    return "/tmp/svf-fuzz-" + std::to_string(getpid()) + "-" + name;
}

inline std::string WriteFile(const char* name, std::string_view bytes) {
    const std::string path = PathOf(name);
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

inline void DropMessage(void*, const SvfMessage*) {}

inline int Play(SvfInfo& info) {
    // The null controller lives in the fuzzer itself, which has no version.
    svf::SetControllerVersionOverride(svf::MakeVersion(2, 2));
    SvfReport report{};
    report.messageCallback = DropMessage;
    report.verbosity = SVF_LEVEL_NOTE;
    info.tap = info.tap != 0 ? info.tap : 1;
    info.frequencyKhz = 1000;
    Svf_Execute(svfplay::NullControllerApi(), &report, &info);
    return 0;
}

}  // namespace fuzz
