// Out of memory anywhere in a run: every allocation the player makes for a
// job is made to fail in turn. Each failure must end the run with the memory
// error and its result code, never a crash, a pass or another error, and
// must leave nothing behind (leaks are caught by the sanitizer build).
// svfplay's null controller drives the run because it allocates nothing, so
// every failing allocation is the player's.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "null_controller.h"
#include "support/files.h"

namespace {

// The number of the allocation from now that fails (1 = the next one);
// 0 = none. One failure only, so that reporting it can allocate again.
long failingAllocation = 0;
long allocationsSeen = 0;
long toleratedFailures = 0;  // failed allocations that asked for no exception
bool inHost = false;         // the host's own allocations never fail

}  // namespace

// This test program's global allocator: malloc/free with the failure hook,
// in every form the player uses, so that all of them count alike on every
// platform and sanitizer.
void* operator new(std::size_t size) {
    if (!inHost) {
        ++allocationsSeen;
        if (failingAllocation > 0 && --failingAllocation == 0) throw std::bad_alloc();
    }
    if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        ++toleratedFailures;
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return ::operator new(size, tag);
}
// The compiler cannot see that these free what the operator new above took
// from malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
#pragma GCC diagnostic pop

namespace {

struct Outcome {
    int32_t result = 0;
    uint32_t code = 0;
    std::vector<std::string> errors;
};

void OnMessage(void* context, const SvfMessage* message) {
    if (message->kind != SVF_MESSAGE_ERROR) return;
    inHost = true;
    static_cast<Outcome*>(context)->errors.emplace_back(message->text);
    inHost = false;
}

TEST(AllocationSweep, EveryFailingAllocationEndsTheRunWithTheMemoryError) {
    svftest::TempDir dir;
    // Every statement kind that keeps storage: patterns of each register,
    // a pattern longer than the first allocation, header and trailer bits.
    const std::string svf =
        dir.Write("sweep.svf",
                  "FREQUENCY 1E6 HZ;\nTRST OFF;\nENDIR IRPAUSE;\nENDDR DRPAUSE;\n"
                  "HIR 4 TDI (F);\nTIR 2 TDI (3);\nHDR 1 TDI (1);\nTDR 1 TDI (0);\n"
                  "SIR 8 TDI (AB) TDO (00) MASK (00);\nSDR 32 TDI (12345678) SMASK (FFFFFFFF);\n"
                  "SDR 600 TDI (" +
                      std::string(150, 'A') + ") TDO (" + std::string(150, '0') +
                      ");\nRUNTEST 10 TCK;\nSTATE RESET IDLE;\n");
    const std::string errorFile = dir.PathOf("sweep.err");
    const ConnectionStrings strings{0, "HL", "H", "LLH", "L"};
    SvfInfo info{};
    info.flags = SVF_FLAG_CONNECTION_STRINGS;
    info.svfSource = svf.c_str();
    info.errorFile = errorFile.c_str();
    info.cnnFile = &strings;
    info.tap = 1;

    const auto run = [&](long failing) {
        Outcome outcome;
        SvfReport report{};
        report.messageContext = &outcome;
        report.messageCallback = OnMessage;
        report.verbosity = 3;
        allocationsSeen = 0;
        toleratedFailures = 0;
        failingAllocation = failing;
        outcome.result = Svf_Execute(svfplay::NullControllerApi(), &report, &info);
        failingAllocation = 0;
        outcome.code = report.resultCode;
        return outcome;
    };
    const Outcome clean = run(0);
    ASSERT_EQ(clean.result, SVF_RETURN_PASS) << testing::PrintToString(clean.errors);
    const long allocations = allocationsSeen;
    ASSERT_GT(allocations, 0);

    // Pattern storage fails at the statement that needs it; everything
    // else (connection bits, scan buffers) with the run's memory message.
    // Only the SVF file's stream buffer may be missing: the C library's own
    // buffer does its work, and the run passes.
    const std::string memory = "Error: Unable to allocate memory";
    std::set<int> statementLines;
    int toleratedRuns = 0;
    for (long failing = 1; failing <= allocations; ++failing) {
        const Outcome outcome = run(failing);
        if (toleratedFailures > 0) {
            ++toleratedRuns;
            EXPECT_EQ(outcome.result, SVF_RETURN_PASS) << "allocation " << failing;
            EXPECT_EQ(outcome.errors, std::vector<std::string>{}) << "allocation " << failing;
            continue;
        }
        EXPECT_EQ(outcome.result, SVF_RETURN_ERROR) << "allocation " << failing;
        EXPECT_EQ(outcome.code, uint32_t{SVF_RESULT_NO_MEMORY}) << "allocation " << failing;
        EXPECT_FALSE(svftest::FileExists(errorFile)) << "allocation " << failing;
        ASSERT_EQ(outcome.errors.size(), 1u) << "allocation " << failing;
        const std::string& error = outcome.errors[0];
        int line = 0;
        if (std::sscanf(error.c_str(), "SVF line %d", &line) == 1) {
            char want[64];
            std::snprintf(want, sizeof want, "SVF line %6d : Error\t: memory alloc failed", line);
            EXPECT_EQ(error, want);
            statementLines.insert(line);
        } else {
            EXPECT_EQ(error, memory) << "allocation " << failing;
        }
    }
    EXPECT_EQ(statementLines, (std::set<int>{5, 6, 7, 8, 9, 10, 11}));  // HIR to the long SDR
    EXPECT_EQ(toleratedRuns, 1);
}

}  // namespace
