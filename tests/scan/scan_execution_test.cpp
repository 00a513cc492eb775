// Scan execution: bit insertion and comparison, chunking into controller
// calls, composition of header, body and trailer in both compare modes, stop
// states, lead and tail shifts and controller failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "recording_controller.h"
#include "scan/scan_execution.h"
#include "support/messages.h"

namespace {

using scantest::BitAt;
using scantest::FromHex;
using scantest::RecordingController;
using scantest::ToHex;
using svf::ScanKind;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<uint16_t> RandomWords(size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint16_t> words(count);
    for (uint16_t& word : words) word = static_cast<uint16_t>(generator());
    return words;
}

// ------------------------------------------------------------- insertion

enum class InsertKind { kPlain, kInverted, kMasked };

struct InsertCase {
    uint32_t offset;
    uint32_t n;
};

class InsertTest : public ::testing::TestWithParam<InsertCase> {};

// Bits below the offset stay, bits [offset, offset + n) come from the source
// (plain, inverted, a AND b); nothing beyond the last touched word changes.
TEST_P(InsertTest, PlacesExactlyTheSourceBits) {
    const auto [offset, n] = GetParam();
    const std::vector<uint16_t> a = RandomWords(svf::WordsFor(n) + 1, n);
    const std::vector<uint16_t> b = RandomWords(svf::WordsFor(n) + 1, n + 7);
    for (InsertKind kind : {InsertKind::kPlain, InsertKind::kInverted, InsertKind::kMasked}) {
        const size_t words = svf::WordsFor(uint64_t{offset} + n) + 2;
        const std::vector<uint16_t> before = RandomWords(words, offset);
        std::vector<uint16_t> destination = before;
        if (kind == InsertKind::kPlain) svf::InsertBits(destination.data(), offset, a.data(), n);
        if (kind == InsertKind::kInverted) {
            svf::InsertInvertedBits(destination.data(), offset, a.data(), n);
        }
        if (kind == InsertKind::kMasked) {
            svf::InsertMaskedBits(destination.data(), offset, a.data(), b.data(), n);
        }
        for (uint32_t bit = 0; bit < offset; ++bit) {
            ASSERT_EQ(BitAt(destination.data(), bit), BitAt(before.data(), bit)) << bit;
        }
        for (uint32_t i = 0; i < n; ++i) {
            bool want = BitAt(a.data(), i);
            if (kind == InsertKind::kInverted) want = !want;
            if (kind == InsertKind::kMasked) want = want && BitAt(b.data(), i);
            ASSERT_EQ(BitAt(destination.data(), offset + i), want)
                << "kind " << static_cast<int>(kind) << " bit " << i;
        }
        const size_t lastTouched = n == 0 ? 0 : (offset + n - 1) / 16 + 1;
        for (size_t w = std::max(lastTouched, size_t{offset / 16 + 1}); w < words; ++w) {
            ASSERT_EQ(destination[w], before[w]) << "word " << w;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Offsets, InsertTest,
                         ::testing::Values(InsertCase{0, 0}, InsertCase{5, 0}, InsertCase{0, 1},
                                           InsertCase{0, 16}, InsertCase{0, 37},
                                           InsertCase{16, 32}, InsertCase{4, 8},
                                           InsertCase{4, 12}, InsertCase{4, 13},
                                           InsertCase{15, 1}, InsertCase{15, 2},
                                           InsertCase{17, 100}, InsertCase{31, 33},
                                           InsertCase{12, 2}));

TEST(InsertBits, ReadsOnlyTheWordsTheLengthNeeds) {
    // One source word for 16 bits: the following word must not be looked at.
    std::vector<uint16_t> destination(3, 0);
    const uint16_t source[1] = {0xFFFF};
    svf::InsertBits(destination.data(), 8, source, 16);
    EXPECT_THAT(destination, ElementsAre(0xFF00, 0x00FF, 0));
}

// ----------------------------------------------------------------- compare

TEST(CompareBits, IgnoresBitsBeyondTheLengthAndOutsideTheMask) {
    // 20 bits: the last word holds 4 valid bits; bits 4 to 15 never count.
    const uint16_t captured[2] = {0x1234, 0xFFF5};
    const uint16_t expected[2] = {0x1234, 0x0005};
    uint16_t output[2] = {0xAAAA, 0xAAAA};
    EXPECT_EQ(svf::CompareBits(output, captured, expected, nullptr, 20), false);
    EXPECT_THAT(output, ElementsAre(0, 0));

    const uint16_t differs[2] = {0x1236, 0x000D};  // bits 1 and 19
    EXPECT_EQ(svf::CompareBits(output, differs, expected, nullptr, 20), true);
    EXPECT_THAT(output, ElementsAre(0x0002, 0x0008));

    const uint16_t mask[2] = {0xFFFD, 0x000F};  // bit 1 is don't-care
    EXPECT_EQ(svf::CompareBits(output, differs, expected, mask, 20), true);
    EXPECT_THAT(output, ElementsAre(0x0000, 0x0008));
    const uint16_t maskBoth[2] = {0xFFFD, 0x0007};
    EXPECT_EQ(svf::CompareBits(nullptr, differs, expected, maskBoth, 20), false);
}

TEST(CompareBits, CapturedMayBeTheOutput) {
    uint16_t captured[1] = {0x00F0};
    const uint16_t expected[1] = {0x0000};
    EXPECT_EQ(svf::CompareBits(captured, captured, expected, nullptr, 16), true);
    EXPECT_EQ(captured[0], 0x00F0);
}

// ---------------------------------------------------------------- chunking

struct ChunkCase {
    const char* name;
    uint32_t bits;
    bool longDr;
    std::vector<std::string> calls;
};

class ChunkTest : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(ChunkTest, CutsIntoControllerCalls) {
    const ChunkCase& c = GetParam();
    RecordingController controller;
    const std::vector<uint16_t> tdi = RandomWords(svf::WordsFor(c.bits) + 1, 3);
    std::vector<uint16_t> capture(svf::WordsFor(c.bits) + 1);
    EXPECT_EQ(svf::ShiftDrInChunks(controller.api(), nullptr, 1, tdi.data(), c.bits,
                                   capture.data(), svf::ShiftEnd::kStop, c.longDr),
              0u);
    EXPECT_EQ(controller.Calls(), c.calls);
    // Every chunk starts where the previous one stopped.
    uint64_t offset = 0;
    for (const scantest::ShiftRecord& shift : controller.shifts()) {
        EXPECT_EQ(shift.tdiPointer, tdi.data() + offset / 16);
        EXPECT_TRUE(shift.capture);
        offset += shift.count;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ChunkTest,
    ::testing::Values(
        ChunkCase{"Zero", 0, false, {}}, ChunkCase{"One", 1, false, {"ShiftDr 1"}},
        ChunkCase{"MaxOneCall", 65535, false, {"ShiftDr 65535"}},
        ChunkCase{"OneMore", 65536, false, {"ShiftDrToPause 65280", "ShiftDr 256"}},
        ChunkCase{"TwoFullChunks", 130560, false, {"ShiftDrToPause 65280", "ShiftDr 65280"}},
        ChunkCase{"RemainderAboveOneCall", 200000, false,
                  {"ShiftDrToPause 65280", "ShiftDrToPause 65280", "ShiftDrToPause 65280",
                   "ShiftDr 4160"}},
        ChunkCase{"LongOneCall", 200000, true, {"ShiftDrLong 200000"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ShiftInChunks, PauseMembersStayInPauseForTheFinalCall) {
    RecordingController controller;
    const std::vector<uint16_t> tdi(svf::WordsFor(65536), 0);
    svf::ShiftIrInChunks(controller.api(), nullptr, 2, tdi.data(), 65536, nullptr,
                         svf::ShiftEnd::kPause);
    svf::ShiftIrCompareInChunks(controller.api(), nullptr, 2, tdi.data(), 65536, nullptr, nullptr,
                                svf::ShiftEnd::kStop);
    svf::ShiftDrCompareInChunks(controller.api(), nullptr, 2, tdi.data(), 10, nullptr, nullptr,
                                svf::ShiftEnd::kPause, true);
    svf::ShiftDrInChunks(controller.api(), nullptr, 2, tdi.data(), 10, nullptr,
                         svf::ShiftEnd::kPause, false);
    EXPECT_THAT(controller.Calls(),
                ElementsAre("ShiftIrToPause 65280", "ShiftIrToPause 256",
                            "ShiftIrCompareToPause 65280", "ShiftIrCompare 256",
                            "ShiftDrLongToPause 10", "ShiftDrToPause 10"));
    EXPECT_EQ(controller.shifts()[0].tap, 2u);
}

TEST(ShiftInChunks, CompareMembersAdvanceExpectedAndMask) {
    RecordingController controller;
    const uint32_t bits = 65536;
    const std::vector<uint16_t> tdi(svf::WordsFor(bits), 0);
    std::vector<uint16_t> expected(svf::WordsFor(bits), 0);
    std::vector<uint16_t> mask(svf::WordsFor(bits), 0xFFFF);
    expected[svf::kChunkBits / 16] = 0x00A5;
    mask[svf::kChunkBits / 16] = 0x0F0F;
    svf::ShiftDrCompareInChunks(controller.api(), nullptr, 1, tdi.data(), bits, expected.data(),
                                mask.data(), svf::ShiftEnd::kStop, false);
    ASSERT_EQ(controller.shifts().size(), 2u);
    const scantest::ShiftRecord& last = controller.shifts()[1];
    EXPECT_EQ(last.expected.substr(last.expected.size() - 2), "A5");
    EXPECT_EQ(last.mask.substr(last.mask.size() - 4), "0F0F");
    EXPECT_FALSE(last.capture);
}

TEST(ShiftInChunks, FailureStopsAtOnceAndIsReported) {
    svftest::MessageLog log;
    RecordingController controller;
    controller.FailCall(0, VELTRA_FAILED);
    const std::vector<uint16_t> tdi(svf::WordsFor(200000), 0);
    EXPECT_EQ(svf::ShiftDrInChunks(controller.api(), log.report(), 1, tdi.data(), 200000,
                                   nullptr, svf::ShiftEnd::kStop, false),
              VELTRA_FAILED);
    EXPECT_EQ(controller.shifts().size(), 1u);
    EXPECT_THAT(log.Errors(), ElementsAre("Error: Shift DR failed; chain broken"));

    log.Clear();
    controller.RemoveSlot(&VeltraApi::ShiftIr);
    EXPECT_EQ(svf::ShiftIrInChunks(controller.api(), log.report(), 1, tdi.data(), 8, nullptr,
                                   svf::ShiftEnd::kStop),
              VELTRA_NOT_SUPPORTED);
    EXPECT_THAT(log.Errors(), ElementsAre("Error: Shift IR failed; function not supported"));
}

}  // namespace
