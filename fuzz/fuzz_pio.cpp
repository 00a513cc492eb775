// A PIO mapping file and the SVF text that maps and drives its pins: the
// input's first line feed followed by "%%" separates the two.
#include "fuzz_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = std::min(input.find("\n%%"), input.size());
    const std::string mapPath = fuzz::WriteFile("input.map", input.substr(0, split));
    const fuzz::MemoryLines lines(input.substr(std::min(split + 3, input.size())));
    SvfInfo info{};
    info.flags = SVF_FLAG_LINES_IN_MEMORY | SVF_FLAG_PIO;
    info.svfSource = lines.pointers.data();
    info.pioMapFile = mapPath.c_str();
    return fuzz::Play(info);
}
