// Out of memory while reading a CNN file: every allocation of the reader is
// made to fail in turn; each failure must be reported with the memory message
// of its own site and leave nothing behind (leaks are caught by the
// sanitizer build).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "cnn/cnn_file.h"
#include "support/files.h"
#include "support/messages.h"

namespace {

// The number of the allocation from now that fails (1 = the next one);
// 0 = none. One failure only, so that reporting it can allocate again.
long failingAllocation = 0;
long allocationsSeen = 0;

}  // namespace

// This test program's global allocator: malloc/free with the failure hook.
void* operator new(std::size_t size) {
    ++allocationsSeen;
    if (failingAllocation > 0 && --failingAllocation == 0) throw std::bad_alloc();
    if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
    throw std::bad_alloc();
}
// The compiler cannot see that these free what the operator new above took
// from malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
#pragma GCC diagnostic pop

namespace {

struct MemoryCase {
    std::string body;                // after "TESTER_CHANNEL TAP1"
    std::vector<std::string> codes;  // reported codes, allocation by allocation
};

TEST(AllocationFailure, EachAllocationSiteHasItsOwnMessage) {
    const MemoryCase cases[] = {
        {"TAP1", {"04", "09", "10", "11", "12"}},
        {"INIT_SEQ IR HL 01 TAP1 DR H END_INIT_SEQ\n"
         "IR_SHIFT H TAP1 END_IR_SHIFT DR_SHIFT TAP1 0 END_DR_SHIFT\n"
         "TERM_SEQ DR H END_TERM_SEQ",
         {"04", "06", "29", "33", "32", "36", "37", "29", "23", "29", "33", "14",
          "30", "33", "30", "16", "31", "31", "33", "36", "37", "18", "29", "33"}},
        // The pattern is extended after it has compare bits.
        {"IR_SHIFT 0 1 TAP1 END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT",
         {"04", "07", "30", "33", "36", "37", "32", "34", "35", "30", "16", "31"}},
    };
    for (const MemoryCase& memoryCase : cases) {
        SCOPED_TRACE(memoryCase.body);
        svftest::TempDir dir;
        const std::string path =
            dir.Write("board.cnn", "SYNTAX_VERSION 1.2\nTESTER_CHANNEL TAP1\n" + memoryCase.body +
                                       "\nEND_TESTER_CHANNEL\n");
        allocationsSeen = 0;
        {
            svftest::MessageLog log;
            const svf::CnnModel model = svf::ReadCnnFile(path.c_str(), log.report());
            ASSERT_FALSE(model.empty()) << log.Dump();
        }
        const std::vector<std::string>& codes = memoryCase.codes;
        ASSERT_EQ(allocationsSeen, static_cast<long>(codes.size()));

        for (size_t failing = 1; failing <= codes.size(); ++failing) {
            svftest::MessageLog log;
            failingAllocation = static_cast<long>(failing);
            const svf::CnnModel model = svf::ReadCnnFile(path.c_str(), log.report());
            failingAllocation = 0;
            EXPECT_TRUE(model.empty()) << "allocation " << failing;
            ASSERT_EQ(log.messages().size(), 1u) << "allocation " << failing << "\n" << log.Dump();
            const std::string& code = codes[failing - 1];
            EXPECT_EQ(log.messages()[0].text, "Memory allocation error  #CC" + code)
                << "allocation " << failing;
            // Only the channel record's message carries sequence 1.
            EXPECT_EQ(log.messages()[0].sequence, code == "04" ? 1u : 0u) << code;
            EXPECT_EQ(log.messages()[0].kind, uint32_t{SVF_MESSAGE_ERROR});
        }
    }
}

}  // namespace
