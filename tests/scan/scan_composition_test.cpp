// ExecuteIrScan / ExecuteDrScan in both compare modes: what the controller
// receives (composed TDI, expected and mask vectors, which slot, how many
// bits), what the player counts, and how lead, tail and end states shape the
// calls.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "recording_controller.h"
#include "scan/scan_execution.h"
#include "support/files.h"
#include "support/messages.h"

namespace {

using scantest::FromHex;
using scantest::RecordingController;
using svf::ScanKind;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct PartText {
    uint32_t length;
    std::string tdi;
    std::string tdo = "";  // empty: not given
    std::string mask = "";
    std::string smask = "";
};

class ScanTest : public ::testing::Test {
protected:
    ScanTest() {
        session.host.api = controller.api();
        session.host.report = log.report();
        session.connection.testerTap = 1;
        session.connection.boardTap = 1;
        session.tap.tapState = svf::kStateReset;
        session.tap.stopState = svf::kStateIdle;
    }

    // Leaves a part as the statement parser would after a length change and
    // the given fields.
    void SetPart(ScanKind kind, const PartText& text) {
        svf::ScanPart& part = session.scanParts[kind];
        const size_t words = std::max<size_t>(svf::WordsFor(text.length), 2);
        part.partLength = part.declaredLength = text.length;
        const auto fill = [&](svf::Pattern& pattern, const std::string& hex, uint16_t value) {
            pattern.bits.assign(words, value);
            pattern.defined = hex.empty() ? 0 : 1;
            if (!hex.empty()) {
                const std::vector<uint16_t> bits = FromHex(hex, text.length);
                std::copy_n(bits.begin(), svf::WordsFor(text.length), pattern.bits.begin());
            }
        };
        fill(part.tdi, text.tdi, 0);
        fill(part.tdo, text.tdo, 0);
        fill(part.mask, text.mask, 0xFFFF);
        fill(part.smask, text.smask, 0xFFFF);
    }

    void SetLeadTail(svf::LeadTail& where, const std::string& hex, uint32_t bits) {
        leadTailBits.push_back(FromHex(hex, bits));
        where.bitCount = bits;
        where.bits = leadTailBits.back().data();
    }

    const scantest::ShiftRecord& OnlyShift() {
        EXPECT_EQ(controller.shifts().size(), 1u);
        return controller.shifts().back();
    }

    svftest::MessageLog log;
    RecordingController controller;
    svf::SvfSession session;
    std::vector<std::vector<uint16_t>> leadTailBits;
};

// HIR 4, SIR 8 and TIR 2 make one 14-bit shift: header at 0..3, body at
// 4..11, trailer at 12..13.
class HeaderBodyTrailer : public ScanTest {
protected:
    HeaderBodyTrailer() {
        SetPart(svf::kIrHeader, {4, "A", "6"});
        SetPart(svf::kIrBody, {8, "5C"});
        SetPart(svf::kIrTrailer, {2, "3"});
    }
};

TEST_F(HeaderBodyTrailer, ControllerMaskIgnoresEverythingButTheComparedHeader) {
    ASSERT_EQ(svf::ExecuteIrScanControllerCompare(session, svf::kGivenTdi), svf::kOk);
    const scantest::ShiftRecord& shift = OnlyShift();
    EXPECT_EQ(shift.slot, "ShiftIrCompare");
    EXPECT_EQ(shift.tdi, "35CA");
    EXPECT_EQ(shift.mask, "3FF0");  // 1 = ignore: bits 4 to 13
    EXPECT_EQ(shift.expected.back(), '6');
    EXPECT_FALSE(shift.capture);
}

TEST_F(HeaderBodyTrailer, PlayerComparesOnlyTheHeaderBits) {
    // Body and trailer bits all wrong, header right: the mask hides them.
    controller.SetTdo("3FF6", 14);
    ASSERT_EQ(svf::ExecuteIrScan(session, svf::kGivenTdi), svf::kOk);
    EXPECT_EQ(OnlyShift().tdi, "35CA");
    EXPECT_TRUE(OnlyShift().capture);
    EXPECT_EQ(session.counters.failureCount, 0u);

    // Now header bit 0 is wrong as well: exactly one failing bit.
    controller.SetTdo("3FF7", 14);
    ASSERT_EQ(svf::ExecuteIrScan(session, svf::kGivenTdi), svf::kOk);
    EXPECT_EQ(session.counters.failureCount, 1u);
}

TEST_F(HeaderBodyTrailer, HeaderTdoStaysComparedAcrossStatements) {
    // Several SIR without TDO: the header bits are compared every time, the
    // body never.
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(svf::ExecuteIrScanControllerCompare(session, svf::kGivenTdi), svf::kOk);
    }
    ASSERT_EQ(controller.shifts().size(), 3u);
    for (const scantest::ShiftRecord& shift : controller.shifts()) EXPECT_EQ(shift.mask, "3FF0");
}

TEST_F(HeaderBodyTrailer, BodyTdoWithHeaderMaskButNoHeaderTdo) {
    SetPart(svf::kIrHeader, {4, "A", "", "3"});  // MASK without TDO: don't care
    SetPart(svf::kIrBody, {8, "5C", "81", "F0"});
    ASSERT_EQ(svf::ExecuteIrScanControllerCompare(session, svf::kGivenTdi | svf::kGivenTdo),
              svf::kOk);
    // Header ignored (ones), body inverted MASK 0F, trailer ignored.
    EXPECT_EQ(OnlyShift().mask, "30FF");
    EXPECT_EQ(OnlyShift().expected.substr(1, 2), "81");
}

TEST_F(ScanTest, SingleBodyPassesItsOwnVectors) {
    SetPart(svf::kDrBody, {8, "A5", "5A", "0F"});
    const svf::ScanPart& body = session.scanParts[svf::kDrBody];
    ASSERT_EQ(svf::ExecuteDrScanControllerCompare(session, svf::kGivenTdi | svf::kGivenTdo),
              svf::kOk);
    EXPECT_EQ(OnlyShift().tdiPointer, body.tdi.bits.data());
    EXPECT_EQ(OnlyShift().expected, "5A");
    EXPECT_EQ(OnlyShift().mask, "F0");  // the controller's sense
    EXPECT_THAT(session.scanWork.tdi, IsEmpty());
    EXPECT_THAT(session.scanWork.expected, IsEmpty());
    EXPECT_THAT(session.scanWork.capture, IsEmpty());
}

TEST_F(ScanTest, SingleBodyWithoutTdoAllocatesNothing) {
    SetPart(svf::kDrBody, {8, "A5"});
    ASSERT_EQ(svf::ExecuteDrScan(session, svf::kGivenTdi), svf::kOk);
    EXPECT_FALSE(OnlyShift().capture);
    for (const svf::BitVector* buffer :
         {&session.scanWork.tdi, &session.scanWork.expected, &session.scanWork.mask,
          &session.scanWork.capture}) {
        EXPECT_THAT(*buffer, IsEmpty());
    }
}

TEST_F(ScanTest, PlayerComparesUnderTheBodyMask) {
    SetPart(svf::kDrBody, {8, "A5", "5A", "0F"});
    controller.SetTdo("FA", 8);  // high nibble wrong but masked out
    ASSERT_EQ(svf::ExecuteDrScan(session, svf::kGivenTdi | svf::kGivenTdo), svf::kOk);
    EXPECT_EQ(session.counters.failureCount, 0u);
    controller.SetTdo("F5", 8);  // low nibble all four wrong
    ASSERT_EQ(svf::ExecuteDrScan(session, svf::kGivenTdi | svf::kGivenTdo), svf::kOk);
    EXPECT_EQ(session.counters.failureCount, 4u);
}

TEST_F(ScanTest, SmaskClearsTdiBitsOutsideIt) {
    SetPart(svf::kDrBody, {8, "FF", "", "", "3C"});
    ASSERT_EQ(svf::ExecuteDrScan(session, svf::kGivenTdi | svf::kGivenSmask), svf::kOk);
    EXPECT_EQ(OnlyShift().tdi, "3C");
}

TEST_F(ScanTest, ControllerCompareWithNothingComparedPassesNoVectors) {
    SetPart(svf::kDrHeader, {3, "5"});
    SetPart(svf::kDrBody, {8, "A5", "", "0F"});
    ASSERT_EQ(svf::ExecuteDrScanControllerCompare(session, svf::kGivenTdi), svf::kOk);
    EXPECT_EQ(OnlyShift().tdi, "52D");  // A5 above 101
    EXPECT_EQ(OnlyShift().expected, "-");
    EXPECT_EQ(OnlyShift().mask, "-");
}

TEST_F(ScanTest, ComposedBuffersAreReusedForTheSameLength) {
    SetPart(svf::kDrHeader, {5, "1F"});
    SetPart(svf::kDrBody, {40, "12345678", "0"});
    ASSERT_EQ(svf::ExecuteDrScan(session, svf::kGivenTdi | svf::kGivenTdo), svf::kOk);
    const uint16_t* tdi = session.scanWork.tdi.data();
    const uint16_t* capture = session.scanWork.capture.data();
    ASSERT_NE(tdi, nullptr);
    ASSERT_EQ(svf::ExecuteDrScan(session, svf::kGivenTdi | svf::kGivenTdo), svf::kOk);
    EXPECT_EQ(session.scanWork.tdi.data(), tdi);
    EXPECT_EQ(session.scanWork.capture.data(), capture);
    EXPECT_EQ(controller.shifts()[1].tdi, "0002468ACF1F");
}

TEST_F(ScanTest, MismatchPositionsCountFromTheFirstHeaderBit) {
    svftest::TempDir dir;
    const std::string path = dir.PathOf("errors.txt");
    session.errorFile.errorStream.reset(std::fopen(path.c_str(), "w"));
    session.errorFile.numberedErrorFormat = true;
    session.counters.commandCount = 5;
    SetPart(svf::kDrHeader, {4, "0"});
    SetPart(svf::kDrBody, {16, "0", "0"});
    controller.SetTdo("20088", 20);  // header bit 3 differs but is not compared
    ASSERT_EQ(svf::ExecuteDrScan(session, svf::kGivenTdi | svf::kGivenTdo), svf::kOk);
    session.errorFile.errorStream.reset();
    EXPECT_EQ(svftest::ReadFile(path),
              svftest::TextLines("TAP1 CMD_ID 4 PIN TDO BIT_OFFSET 7 LOOP_CNT 0\n"
                                 "TAP1 CMD_ID 4 PIN TDO BIT_OFFSET 17 LOOP_CNT 0\n"));
    EXPECT_EQ(session.counters.failureCount, 2u);
}

// ------------------------------------------------------- ends, lead, tail

struct EndCase {
    const char* name;
    bool dr;
    bool controllerCompare;
    bool longDr;
    int32_t endState;
    uint32_t leadBits;
    uint32_t tailBits;
    std::vector<std::string> calls;
};

class EndTest : public ScanTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EndTest, ChoosesPauseOrStopMembers) {
    const EndCase& c = GetParam();
    svf::Connection& connection = session.connection;
    SetLeadTail(c.dr ? connection.drLead : connection.irLead, "5", c.leadBits);
    SetLeadTail(c.dr ? connection.drTail : connection.irTail, "1", c.tailBits);
    (c.dr ? session.tap.endDrState : session.tap.endIrState) = c.endState;
    session.tap.stopState = c.endState;
    session.compare.longDrShifts = c.longDr;
    SetPart(c.dr ? svf::kDrBody : svf::kIrBody, {8, "C3", "C3"});
    const uint32_t flags = svf::kGivenTdi | svf::kGivenTdo;
    svf::Status status = c.dr ? (c.controllerCompare
                                     ? svf::ExecuteDrScanControllerCompare(session, flags)
                                     : svf::ExecuteDrScan(session, flags))
                              : (c.controllerCompare
                                     ? svf::ExecuteIrScanControllerCompare(session, flags)
                                     : svf::ExecuteIrScan(session, flags));
    ASSERT_EQ(status, svf::kOk) << log.Dump();
    EXPECT_EQ(controller.Calls(), c.calls);
    EXPECT_EQ(session.tap.tapState, c.endState);
    // Lead and tail carry their own bits and are never compared or captured.
    for (const scantest::ShiftRecord& shift : controller.shifts()) {
        if (shift.count == 8) continue;
        EXPECT_EQ(shift.tdi, shift.count == c.leadBits ? "5" : "1");
        EXPECT_FALSE(shift.capture);
        EXPECT_EQ(shift.expected, "-");
        EXPECT_EQ(shift.mask, "-");
    }
}

const int32_t kIdle = svf::kStateIdle;
const int32_t kIrPause = svf::kStateIrPause;
const int32_t kDrPause = svf::kStateDrPause;

INSTANTIATE_TEST_SUITE_P(
    Members, EndTest,
    ::testing::Values(
        EndCase{"IrIdle", false, false, false, kIdle, 0, 0, {"ShiftIr 8"}},
        EndCase{"IrPause", false, false, false, kIrPause, 0, 0, {"ShiftIrToPause 8"}},
        EndCase{"IrIdleLeadTail", false, false, false, kIdle, 3, 2,
                {"ShiftIrToPause 3", "ShiftIrToPause 8", "ShiftIr 2"}},
        EndCase{"IrPauseLeadTail", false, false, false, kIrPause, 3, 2,
                {"ShiftIrToPause 3", "ShiftIrToPause 8", "ShiftIrToPause 2"}},
        EndCase{"IrCompareIdleTail", false, true, false, kIdle, 0, 2,
                {"ShiftIrCompareToPause 8", "ShiftIrCompare 2"}},
        EndCase{"IrCompareIdle", false, true, false, kIdle, 3, 0,
                {"ShiftIrCompareToPause 3", "ShiftIrCompare 8"}},
        EndCase{"DrIdleLeadTail", true, false, false, kIdle, 3, 2,
                {"ShiftDrToPause 3", "ShiftDrToPause 8", "ShiftDr 2"}},
        EndCase{"DrPause", true, true, false, kDrPause, 0, 0, {"ShiftDrCompareToPause 8"}},
        EndCase{"DrLong", true, false, true, kIdle, 3, 2,
                {"ShiftDrLongToPause 3", "ShiftDrLongToPause 8", "ShiftDrLong 2"}},
        EndCase{"DrLongCompare", true, true, true, kIdle, 0, 0, {"ShiftDrLong 8"}}),
    [](const auto& row) { return std::string(row.param.name); });

struct FailureCase {
    const char* name;
    size_t failingCall;
    uint32_t result;
    const char* message;
};

class FailureTest : public ScanTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, StopsAtTheFailingCallAndKeepsTheTapState) {
    const FailureCase& c = GetParam();
    SetLeadTail(session.connection.irLead, "1", 1);
    SetLeadTail(session.connection.irTail, "1", 1);
    SetPart(svf::kIrBody, {8, "FF", "00"});
    controller.SetTdo("FFF", 10);  // every body bit would mismatch
    controller.FailCall(c.failingCall, c.result);
    EXPECT_EQ(svf::ExecuteIrScan(session, svf::kGivenTdi | svf::kGivenTdo),
              svf::kControllerFailed);
    EXPECT_EQ(controller.shifts().size(), c.failingCall + 1);
    EXPECT_THAT(log.Errors(), ElementsAre(c.message));
    EXPECT_EQ(session.tap.tapState, svf::kStateReset);
    // The body compare runs only once its shift succeeded.
    EXPECT_EQ(session.counters.failureCount, c.failingCall == 2 ? 8u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Pieces, FailureTest,
    ::testing::Values(FailureCase{"Lead", 0, VELTRA_FAILED, "Error: Shift IR failed; chain broken"},
                      FailureCase{"Body", 1, VELTRA_NOT_SUPPORTED,
                                  "Error: Shift IR failed; function not supported"},
                      FailureCase{"Tail", 2, VELTRA_FAILED,
                                  "Error: Shift IR failed; chain broken"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
