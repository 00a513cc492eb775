// A CNN file, read and, when it names one board TAP, set up and played
// around a short SVF text.
#include "cnn/cnn_file.h"
#include "fuzz_player.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string cnnPath =
        fuzz::WriteFile("input.cnn", {reinterpret_cast<const char*>(data), size});
    const fuzz::MemoryLines lines("SIR 8 TDI (01);\nSDR 8 TDI (A5) TDO (00);\n");
    SvfInfo info{};
    // The job names the board TAP of the file, so that the connection is set up.
    const svf::CnnModel model = svf::ReadCnnFile(cnnPath.c_str(), nullptr);
    constexpr uint32_t kTapsTried = 8;
    for (uint32_t tap = 1; tap <= kTapsTried && info.tap == 0; ++tap) {
        if (svf::CheckBoardTap(model, tap)) info.tap = tap;
    }
    info.flags = SVF_FLAG_LINES_IN_MEMORY;
    info.svfSource = lines.pointers.data();
    info.cnnFile = cnnPath.c_str();
    info.totalIrLength = 8;
    info.totalBypassLength = 1;
    return fuzz::Play(info);
}
