// Replays fuzz inputs without libFuzzer: every file named, or found in a
// folder named, goes once through the target. Lets the normal build (with
// its sanitizers) run the seeds and every crash input kept as a seed.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path arg(argv[i]);
        auto replay = [&](const std::filesystem::path& file) {
            std::ifstream in(file, std::ios::binary);
            const std::string bytes{std::istreambuf_iterator<char>(in), {}};
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        };
        if (!std::filesystem::is_directory(arg)) {
            replay(arg);
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(arg)) replay(entry.path());
    }
    return replayed > 0 ? 0 : 1;
}
