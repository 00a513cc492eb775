// SVF text: from memory, or (first byte odd) from a file with an ERROR file.
#include "fuzz_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    SvfInfo info{};
    if ((data[0] & 1) != 0) {
        const std::string svfPath = fuzz::WriteFile("input.svf", text);
        const std::string errorPath = fuzz::PathOf("result.err");
        info.svfSource = svfPath.c_str();
        info.errorFile = errorPath.c_str();
        info.flags = (data[0] & 2) != 0 ? SVF_FLAG_NUMBERED_ERRORS : 0;
        return fuzz::Play(info);
    }
    const fuzz::MemoryLines lines(text);
    info.svfSource = lines.pointers.data();
    info.flags = SVF_FLAG_LINES_IN_MEMORY;
    return fuzz::Play(info);
}
