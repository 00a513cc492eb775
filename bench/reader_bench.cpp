// Tokenizer throughput over a large SVF text: 10 million short lines of
// comments and RUNTEST statements, read from a file and from memory.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "session.h"
#include "svf/reader/reader.h"

namespace {

constexpr long kFileLines = 10'000'000;
constexpr long kMemoryLines = 1'000'000;

// The line mix of a typical generated test: comments between short statements.
const char* const kLines[] = {
    "! wait for the device",
    "RUNTEST 100 TCK;",
    "RUNTEST IDLE 1E-3 SEC ENDSTATE IDLE;",
    "// next step",
};
constexpr size_t kLineKinds = std::size(kLines);

const char* LineAt(long index) { return kLines[static_cast<size_t>(index) % kLineKinds]; }

// Written once per process, removed at exit.
class GeneratedFile {
  public:
    GeneratedFile() {
        path_ =
            (std::filesystem::temp_directory_path() /
             ("svf_reader_bench_" +
              std::to_string(std::hash<std::string>{}(std::filesystem::current_path().string())) +
              ".svf"))
                .string();
        std::FILE* file = std::fopen(path_.c_str(), "w");
        if (file == nullptr) return;
        for (long i = 0; i < kFileLines; ++i) {
            std::fputs(LineAt(i), file);
            std::fputc('\n', file);
        }
        bytes_ = std::ftell(file);
        std::fclose(file);
    }
    ~GeneratedFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    GeneratedFile(const GeneratedFile&) = delete;
    GeneratedFile& operator=(const GeneratedFile&) = delete;

    const std::string& path() const { return path_; }
    long bytes() const { return bytes_; }

  private:
    std::string path_;
    long bytes_ = 0;
};

const GeneratedFile& TheFile() {
    static const GeneratedFile file;
    return file;
}

// Reads every token; returns how many there were.
long ReadAllTokens(svf::SvfSession& session) {
    long tokens = 0;
    while (svf::NextToken(session).status == svf::kOk) ++tokens;
    return tokens;
}

void SetRates(benchmark::State& state, long lines, double bytes, long tokens) {
    using benchmark::Counter;
    state.counters["lines/s"] =
        Counter(static_cast<double>(lines), Counter::kIsIterationInvariantRate);
    state.counters["MB/s"] = Counter(bytes / 1e6, Counter::kIsIterationInvariantRate);
    state.counters["tokens"] = Counter(static_cast<double>(tokens));
}

void BM_NextTokenFromFile(benchmark::State& state) {
    const GeneratedFile& file = TheFile();
    if (file.bytes() == 0) {
        state.SkipWithError("could not write the generated SVF file");
        return;
    }
    long tokens = 0;
    for (auto _ : state) {
        auto session = std::make_unique<svf::SvfSession>();
        session->reader.svfFile.reset(std::fopen(file.path().c_str(), "r"));
        tokens = ReadAllTokens(*session);
        benchmark::DoNotOptimize(tokens);
    }
    SetRates(state, kFileLines, static_cast<double>(file.bytes()), tokens);
}
BENCHMARK(BM_NextTokenFromFile)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_NextTokenFromMemory(benchmark::State& state) {
    std::vector<const char*> lines;
    lines.reserve(kMemoryLines + 1);
    double bytes = 0;
    for (long i = 0; i < kMemoryLines; ++i) {
        lines.push_back(LineAt(i));
        bytes += static_cast<double>(std::char_traits<char>::length(LineAt(i)) + 1);
    }
    lines.push_back(nullptr);
    long tokens = 0;
    for (auto _ : state) {
        auto session = std::make_unique<svf::SvfSession>();
        session->reader.linesInMemory = true;
        session->reader.memoryLines = lines.data();
        tokens = ReadAllTokens(*session);
        benchmark::DoNotOptimize(tokens);
    }
    SetRates(state, kMemoryLines, bytes, tokens);
}
BENCHMARK(BM_NextTokenFromMemory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
