// The floor under any SVF player: read the file once and turn every
// hexadecimal digit into its four bits. Nothing is parsed or shifted; the bits
// are folded into a checksum so that the work cannot be optimised away.
//
//   read_floor FILE     prints the digit count and the checksum

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr size_t kChunkBytes = size_t{1} << 20;
constexpr int kNoDigit = -1;
constexpr int kDigitBits = 4;
constexpr int kWordBits = 64;

constexpr std::array<int8_t, 256> kDigitValue = [] {
    std::array<int8_t, 256> values{};
    values.fill(kNoDigit);
    for (int i = 0; i < 10; ++i) values['0' + i] = static_cast<int8_t>(i);
    for (int i = 0; i < 6; ++i) {
        values['A' + i] = static_cast<int8_t>(10 + i);
        values['a' + i] = static_cast<int8_t>(10 + i);
    }
    return values;
}();

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: read_floor FILE\n");
        return 2;
    }
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(argv[1], "rb"));
    if (!file) {
        std::fprintf(stderr, "read_floor: cannot open %s\n", argv[1]);
        return 2;
    }
    std::vector<unsigned char> chunk(kChunkBytes);
    uint64_t bits = 0;
    uint64_t digits = 0;
    for (size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0;) {
        for (size_t i = 0; i < got; ++i) {
            const int value = kDigitValue[chunk[i]];
            if (value == kNoDigit) continue;
            // Rotate so that every digit ever read stays in the checksum.
            bits = (bits << kDigitBits | bits >> (kWordBits - kDigitBits)) ^
                   static_cast<uint64_t>(value);
            ++digits;
        }
    }
    std::printf("%llu digits, checksum %016llx\n", static_cast<unsigned long long>(digits),
                static_cast<unsigned long long>(bits));
    return 0;
}
