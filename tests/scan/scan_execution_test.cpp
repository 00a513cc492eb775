// Scan execution: bit insertion and comparison against a bit-by-bit
// reference, chunking into controller calls, and the lead and tail shifts of
// a connection around header, body and trailer, read from veltra-sim's trace.
#include "scan/scan_execution.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "svf/svf_fixture.h"

namespace {

using svftest::Strings;
using ::testing::ElementsAre;

bool BitAt(const uint16_t* words, uint64_t bit) { return (words[bit / 16] >> (bit % 16)) & 1u; }

std::vector<uint16_t> RandomWords(size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::vector<uint16_t> words(count);
    for (uint16_t& word : words) word = static_cast<uint16_t>(generator());
    return words;
}

// Bits below the offset stay, bits [offset, offset + n) come from the source
// (plain, inverted, a AND b); nothing beyond the last touched word changes.
TEST(InsertBits, PlaceExactlyTheSourceBits) {
    const std::pair<uint32_t, uint32_t> cases[] = {{0, 0},   {5, 0},    {0, 1},   {0, 16}, {0, 37},
                                                   {16, 32}, {4, 8},    {4, 12},  {4, 13}, {15, 1},
                                                   {15, 2},  {17, 100}, {31, 33}, {12, 2}};
    for (const auto& [offset, n] : cases) {
        const std::vector<uint16_t> a = RandomWords(svf::WordsFor(n) + 1, n);
        const std::vector<uint16_t> b = RandomWords(svf::WordsFor(n) + 1, n + 7);
        for (int kind = 0; kind < 3; ++kind) {
            SCOPED_TRACE(std::to_string(offset) + "+" + std::to_string(n) + " kind " +
                         std::to_string(kind));
            const size_t words = svf::WordsFor(uint64_t{offset} + n) + 2;
            const std::vector<uint16_t> before = RandomWords(words, offset);
            std::vector<uint16_t> destination = before;
            if (kind == 0) svf::InsertBits(destination.data(), offset, a.data(), n);
            if (kind == 1) svf::InsertInvertedBits(destination.data(), offset, a.data(), n);
            if (kind == 2) svf::InsertMaskedBits(destination.data(), offset, a.data(), b.data(), n);
            for (uint32_t bit = 0; bit < offset; ++bit) {
                ASSERT_EQ(BitAt(destination.data(), bit), BitAt(before.data(), bit)) << bit;
            }
            for (uint32_t i = 0; i < n; ++i) {
                const bool want = kind == 1   ? !BitAt(a.data(), i)
                                  : kind == 2 ? BitAt(a.data(), i) && BitAt(b.data(), i)
                                              : BitAt(a.data(), i);
                ASSERT_EQ(BitAt(destination.data(), offset + i), want) << "bit " << i;
            }
            const size_t lastTouched = n == 0 ? 0 : (offset + n - 1) / 16 + 1;
            for (size_t w = std::max(lastTouched, size_t{offset / 16 + 1}); w < words; ++w) {
                ASSERT_EQ(destination[w], before[w]) << "word " << w;
            }
        }
    }
}

TEST(InsertBits, ReadsOnlyTheWordsTheLengthNeeds) {
    // One source word for 16 bits: the following word must not be looked at.
    std::vector<uint16_t> destination(3, 0);
    const uint16_t source[1] = {0xFFFF};
    svf::InsertBits(destination.data(), 8, source, 16);
    EXPECT_THAT(destination, ElementsAre(0xFF00, 0x00FF, 0));
}

TEST(CompareBits, IgnoresBitsBeyondTheLengthAndOutsideTheMask) {
    // 20 bits: the last word holds 4 valid bits; bits 4 to 15 never count.
    const uint16_t captured[2] = {0x1234, 0xFFF5};
    const uint16_t expected[2] = {0x1234, 0x0005};
    uint16_t output[2] = {0xAAAA, 0xAAAA};
    EXPECT_FALSE(svf::CompareBits(output, captured, expected, nullptr, 20));
    EXPECT_THAT(output, ElementsAre(0, 0));
    const uint16_t differs[2] = {0x1236, 0x000D};  // bits 1 and 19
    EXPECT_TRUE(svf::CompareBits(output, differs, expected, nullptr, 20));
    EXPECT_THAT(output, ElementsAre(0x0002, 0x0008));
    const uint16_t mask[2] = {0xFFFD, 0x000F};  // bit 1 is don't-care
    EXPECT_TRUE(svf::CompareBits(output, differs, expected, mask, 20));
    EXPECT_THAT(output, ElementsAre(0x0000, 0x0008));
    const uint16_t maskBoth[2] = {0xFFFD, 0x0007};
    EXPECT_FALSE(svf::CompareBits(nullptr, differs, expected, maskBoth, 20));
    // The captured words may be the output.
    uint16_t same[1] = {0x00F0};
    const uint16_t zero[1] = {0x0000};
    EXPECT_TRUE(svf::CompareBits(same, same, zero, nullptr, 16));
    EXPECT_EQ(same[0], 0x00F0);
}

// ---------------------------------------------------------------- chunking

// The trace's fields of every shift call: slot, tap, TDI, count, ...
std::vector<Strings> ShiftFields() {
    std::vector<Strings> calls;
    for (const std::string& line : svftest::Trace()) {
        if (line.rfind("Shift", 0) != 0) continue;
        std::istringstream in(line);
        Strings fields;
        for (std::string field; in >> field;) fields.push_back(field);
        calls.push_back(fields);
    }
    return calls;
}
Strings SlotsAndCounts() {
    Strings calls;
    for (const Strings& fields : ShiftFields()) calls.push_back(fields[0] + " " + fields[3]);
    return calls;
}

TEST(ShiftInChunks, CutsIntoControllerCalls) {
    const struct {
        uint32_t bits;
        bool longDr;
        Strings calls;
    } rows[] = {
        {0, false, {}},
        {1, false, {"ShiftDr 1"}},
        {65535, false, {"ShiftDr 65535"}},
        {65536, false, {"ShiftDrToPause 65280", "ShiftDr 256"}},
        {130560, false, {"ShiftDrToPause 65280", "ShiftDr 65280"}},
        {200000,
         false,
         {"ShiftDrToPause 65280", "ShiftDrToPause 65280", "ShiftDrToPause 65280", "ShiftDr 4160"}},
        {200000, true, {"ShiftDrLong 200000"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bits);
        svftest::SimSession sim;
        const std::vector<uint16_t> tdi(svf::WordsFor(row.bits) + 1, 0);
        std::vector<uint16_t> capture(svf::WordsFor(row.bits) + 1);
        EXPECT_EQ(svf::ShiftDrInChunks(sim.api(), nullptr, 1, tdi.data(), row.bits, capture.data(),
                                       svf::ShiftEnd::kStop, row.longDr),
                  0u);
        EXPECT_EQ(SlotsAndCounts(), row.calls);
    }
}

TEST(ShiftInChunks, PauseMembersStayInPauseForTheFinalCall) {
    svftest::SimSession sim;
    const std::vector<uint16_t> tdi(svf::WordsFor(65536), 0);
    svf::ShiftIrInChunks(sim.api(), nullptr, 2, tdi.data(), 65536, nullptr, svf::ShiftEnd::kPause);
    svf::ShiftIrCompareInChunks(sim.api(), nullptr, 2, tdi.data(), 65536, nullptr, nullptr,
                                svf::ShiftEnd::kStop);
    svf::ShiftDrCompareInChunks(sim.api(), nullptr, 2, tdi.data(), 10, nullptr, nullptr,
                                svf::ShiftEnd::kPause, true);
    svf::ShiftDrInChunks(sim.api(), nullptr, 2, tdi.data(), 10, nullptr, svf::ShiftEnd::kPause,
                         false);
    EXPECT_THAT(SlotsAndCounts(), ElementsAre("ShiftIrToPause 65280", "ShiftIrToPause 256",
                                              "ShiftIrCompareToPause 65280", "ShiftIrCompare 256",
                                              "ShiftDrLongToPause 10", "ShiftDrToPause 10"));
    EXPECT_EQ(ShiftFields()[0][1], "2");
}

TEST(ShiftInChunks, CompareMembersAdvanceExpectedAndMask) {
    svftest::SimSession sim;
    const uint32_t bits = 65536;
    const std::vector<uint16_t> tdi(svf::WordsFor(bits), 0);
    std::vector<uint16_t> expected(svf::WordsFor(bits), 0);
    std::vector<uint16_t> mask(svf::WordsFor(bits), 0xFFFF);
    expected[svf::kChunkBits / 16] = 0x00A5;
    mask[svf::kChunkBits / 16] = 0x0F0F;
    svf::ShiftDrCompareInChunks(sim.api(), nullptr, 1, tdi.data(), bits, expected.data(),
                                mask.data(), svf::ShiftEnd::kStop, false);
    const std::vector<Strings> calls = ShiftFields();
    ASSERT_EQ(calls.size(), 2u);
    // slot tap tdi count tdo expected mask: the last chunk's low bits.
    EXPECT_EQ(calls[1][5].substr(calls[1][5].size() - 2), "A5");
    EXPECT_EQ(calls[1][6].substr(calls[1][6].size() - 4), "0F0F");
    EXPECT_EQ(calls[1][4], "-");
}

TEST(ShiftInChunks, FailureStopsAtOnceAndIsReported) {
    svftest::SimSession sim;
    svftest::MessageLog log;
    VeltraSim_SetErrorText("chain broken");
    sim.Script("ShiftDrToPause", VELTRA_FAILED, 1);
    const std::vector<uint16_t> tdi(svf::WordsFor(200000), 0);
    EXPECT_EQ(svf::ShiftDrInChunks(sim.api(), log.report(), 1, tdi.data(), 200000, nullptr,
                                   svf::ShiftEnd::kStop, false),
              VELTRA_FAILED);
    EXPECT_EQ(SlotsAndCounts(), Strings{"ShiftDrToPause 65280"});
    EXPECT_EQ(log.Errors(), Strings{"Error: Shift DR failed; chain broken"});
    log.Clear();
    sim.Script("ShiftIr", VELTRA_NOT_SUPPORTED, 1);
    EXPECT_EQ(svf::ShiftIrInChunks(sim.api(), log.report(), 1, tdi.data(), 8, nullptr,
                                   svf::ShiftEnd::kStop),
              VELTRA_NOT_SUPPORTED);
    EXPECT_EQ(log.Errors(), Strings{"Error: Shift IR failed; function not supported"});
}

// ------------------------------------------------------- lead and tail

// Lead and tail shifts of 3 bits (5) and 2 bits (1) around a scan: they carry
// their own bits, are never compared or captured, and leave the TAP in Pause
// until the last call, which ends in the stop state.
const uint16_t kLead[2] = {5, 0};
const uint16_t kTail[2] = {1, 0};

struct LeadTailRow {
    bool lead;
    bool tail;
    bool controllerCompare;
    bool longDr;
    Strings lines;
    Strings calls;
    const char* fail = nullptr;  // fails on call `failOn`, with `failResult`
    uint32_t failOn = 0;
    uint32_t failResult = VELTRA_FAILED;
    svf::Status status = svf::kOk;
    Strings errors = {};
};

class LeadTail : public svftest::SvfFixture {};

TEST_F(LeadTail, FrameTheScans) {
    const std::string sir = "SIR 8 TDI (C3);", sirTdo = "SIR 8 TDI (C3) TDO (C3);";
    const std::string sdr = "SDR 8 TDI (C3);", sdrTdo = "SDR 8 TDI (C3) TDO (C3);";
    const LeadTailRow rows[] = {
        {true,
         true,
         false,
         false,
         {sir},
         {"ShiftIrToPause 1 5 3 - = 0", "ShiftIrToPause 1 C3 8 - = 0", "ShiftIr 1 1 2 - = 0"}},
        {true,
         true,
         false,
         false,
         {"ENDIR IRPAUSE;", sir},
         {"SetStopState 4 = 0", "ShiftIrToPause 1 5 3 - = 0", "ShiftIrToPause 1 C3 8 - = 0",
          "ShiftIrToPause 1 1 2 - = 0"}},
        {false,
         true,
         true,
         false,
         {sirTdo},
         {"ShiftIrCompareToPause 1 C3 8 - C3 - = 0", "ShiftIrCompare 1 1 2 - - - = 0"}},
        {true,
         false,
         true,
         false,
         {sirTdo},
         {"ShiftIrCompareToPause 1 5 3 - - - = 0", "ShiftIrCompare 1 C3 8 - C3 - = 0"}},
        {true,
         true,
         false,
         false,
         {sdr},
         {"ShiftDrToPause 1 5 3 - = 0", "ShiftDrToPause 1 C3 8 - = 0", "ShiftDr 1 1 2 - = 0"}},
        {false,
         false,
         true,
         false,
         {"ENDDR DRPAUSE;", sdrTdo},
         {"SetStopState 3 = 0", "ShiftDrCompareToPause 1 C3 8 - C3 - = 0"}},
        {true,
         true,
         false,
         true,
         {sdr},
         {"ShiftDrLongToPause 1 5 3 - - - = 0", "ShiftDrLongToPause 1 C3 8 - - - = 0",
          "ShiftDrLong 1 1 2 - - - = 0"}},
        {false, false, true, true, {sdrTdo}, {"ShiftDrLong 1 C3 8 - C3 - = 0"}},
        // The first failing piece ends the scan; the TAP state stays unknown.
        {true,
         true,
         false,
         false,
         {sir},
         {"ShiftIrToPause 1 5 3 - = 1"},
         "ShiftIrToPause",
         1,
         VELTRA_FAILED,
         svf::kControllerFailed,
         {"Error: Shift IR failed; boom"}},
        {true,
         true,
         false,
         false,
         {sir},
         {"ShiftIrToPause 1 5 3 - = 0", "ShiftIrToPause 1 C3 8 - = 2"},
         "ShiftIrToPause",
         2,
         VELTRA_NOT_SUPPORTED,
         svf::kControllerFailed,
         {"Error: Shift IR failed; function not supported"}},
        {true,
         true,
         false,
         false,
         {sir},
         {"ShiftIrToPause 1 5 3 - = 0", "ShiftIrToPause 1 C3 8 - = 0", "ShiftIr 1 1 2 - = 1"},
         "ShiftIr",
         1,
         VELTRA_FAILED,
         svf::kControllerFailed,
         {"Error: Shift IR failed; boom"}},
    };
    for (const LeadTailRow& row : rows) {
        SCOPED_TRACE(row.lines.back() + (row.lead ? " lead" : "") + (row.tail ? " tail" : ""));
        svftest::SimSession fresh;
        log.Clear();
        VeltraSim_SetErrorText("boom");
        if (row.fail != nullptr) fresh.Script(row.fail, row.failResult, row.failOn);
        svf::SvfSession& s = Start(row.lines);
        s.tap.stopState = svf::kStateIdle;
        s.compare.controllerCompare = row.controllerCompare;
        s.compare.longDrShifts = row.longDr;
        for (svf::LeadTail* lead : {&s.connection.irLead, &s.connection.drLead}) {
            *lead = {row.lead ? 3u : 0u, kLead};
        }
        for (svf::LeadTail* tail : {&s.connection.irTail, &s.connection.drTail}) {
            *tail = {row.tail ? 2u : 0u, kTail};
        }
        EXPECT_EQ(svf::RunStatements(s), row.status);
        Strings calls;
        for (const std::string& call : svftest::Trace()) {
            if (call.rfind("GetErrorText", 0) != 0) calls.push_back(call);
        }
        EXPECT_EQ(calls, row.calls);
        EXPECT_EQ(log.Errors(), row.errors);
    }
}

// Player compare: header TDO is compared on every scan, body and trailer
// without TDO never. The default board's IR captures 01 in its low bits.
TEST_F(LeadTail, PlayerComparesOnlyTheHeaderBitsGiven) {
    const std::string sir = "SIR 8 TDI (5C);", tir = "TIR 2 TDI (3);";
    const std::string captured = "ShiftIr 1 35CA 14 0A01 = 0";
    Check({
        svftest::StatementRun({"HIR 4 TDI (A) TDO (1);", tir, sir, sir}, svf::kOk, {},
                              {captured, captured}),
        svftest::StatementRun({"HIR 4 TDI (A) TDO (0);", tir, sir}, svf::kRunFailures, {},
                              {captured}),
    });
}

}  // namespace
