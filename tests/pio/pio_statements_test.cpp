// PIOMAP and PIO statements against a small scripted pod: parsing and its
// errors, the masks and signals sent, the comparison of what the pins read
// and the records of the mismatches.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "pio/pio_statements.h"
#include "pio/pod_pins.h"
#include "support/files.h"
#include "support/messages.h"
#include "support/test_session.h"
#include "svf/reader/reader.h"

namespace {

using svftest::MessageLog;
using svftest::TempDir;
using svftest::TestSession;

// A pod behind the controller table: each TAP's pins read what is driven
// on them and the external level elsewhere; every call is recorded.
struct FakePod {
    uint32_t podInfoResult[5] = {};
    uint32_t usedPins[5] = {};
    uint32_t externalHigh[5] = {};
    uint32_t accessResult = VELTRA_OK;
    uint32_t signalResult = VELTRA_OK;
    uint32_t signalResultFromCall = 0;  // 1-based call that fails; 0 = every call
    uint32_t signalCalls = 0;
    std::vector<std::string> calls;
};

FakePod* fakePod = nullptr;

uint32_t FakeGetPodInfo(uint32_t tap, uint32_t* pinMask, uint32_t* levelMask) {
    fakePod->calls.push_back("GetPodInfo " + std::to_string(tap));
    *pinMask = fakePod->usedPins[tap];
    *levelMask = 0;
    return fakePod->podInfoResult[tap];
}

uint32_t FakeAccessPioPins(uint32_t tap, uint32_t used, uint32_t drive, uint32_t high,
                           uint32_t* readBack) {
    fakePod->calls.push_back("AccessPioPins " + std::to_string(tap) + " " + std::to_string(used) +
                             " " + std::to_string(drive) + " " + std::to_string(high));
    *readBack = ((high & drive) | (fakePod->externalHigh[tap] & ~drive)) & used;
    return fakePod->accessResult;
}

uint32_t FakeSetPodSignal(uint32_t tap, uint32_t signal, uint32_t level) {
    fakePod->calls.push_back("SetPodSignal " + std::to_string(tap) + " " + std::to_string(signal) +
                             " " + std::to_string(level));
    const bool fails = ++fakePod->signalCalls >= fakePod->signalResultFromCall;
    return fails ? fakePod->signalResult : VELTRA_OK;
}

const char* FakeErrorText() { return "pod cable unplugged"; }

class PioStatement : public testing::Test {
  protected:
    PioStatement() : session_(log_) {
        fakePod = &pod_;
        api_.GetPodInfo = &FakeGetPodInfo;
        api_.AccessPioPins = &FakeAccessPioPins;
        api_.SetPodSignal = &FakeSetPodSignal;
        api_.GetErrorText = &FakeErrorText;
        session_->host.api = &api_;
        ResetPio();
    }
    ~PioStatement() override { fakePod = nullptr; }

    // No PIOMAP yet; the pins as a mapping file and the default pod signals
    // leave the model.
    void ResetPio() {
        session_->pio = {};
        session_->pio.pioEnabled = true;
        session_->reader.lineNumber = 0;
        Register(1, "A");  // TAP 1 pin 1
        Register(2, "B");  // TAP 1 pin 2
        Register(3, "C");  // TAP 1 pin 3
        Register(8, "D");  // TAP 2 pin 4
        Register(svf::kPinCodeUser0, "User0");
        Register(svf::kPinCodeUser1, "User1");
        Register(svf::kPinCodeVppE, "Vpp_E");
    }

    void Register(uint32_t code, const char* name) {
        ASSERT_EQ(svf::AddPodPin(&session_->pio.pod, nullptr, code, name), svf::kOk);
    }

    // Runs one statement whose keyword the dispatcher has already read.
    svf::Status Run(int code, std::vector<std::string> lines) {
        session_.SetLines(std::move(lines));
        return svf::HandlePioStatement(code, *session_);
    }
    svf::Status Map(const std::string& body) { return Run(svf::kTokenPioMap, {body}); }
    svf::Status Pio(const std::string& body) { return Run(svf::kTokenPio, {body}); }

    // The calls after PIOMAP.
    std::vector<std::string> PioCalls() {
        std::vector<std::string> calls;
        for (const std::string& call : pod_.calls) {
            if (call.rfind("GetPodInfo", 0) != 0) calls.push_back(call);
        }
        return calls;
    }

    MessageLog log_;
    TestSession session_;
    FakePod pod_;
    VeltraApi api_{};
};

using Strings = std::vector<std::string>;
const std::string kE = "SVF line      1 : Error\t: ";
// A PIO statement that follows a PIOMAP on line 1.
const std::string kE2 = "SVF line      2 : Error\t: ";

// ------------------------------------------------------------------ PIOMAP

TEST_F(PioStatement, DirectionFormPlacesPinsInOrder) {
    ASSERT_EQ(Map("(IN A OUT b INOUT User1 in d);"), svf::kOk) << log_.Dump();
    const svf::PioState& pio = session_->pio;
    EXPECT_TRUE(pio.pioMapDefined);
    ASSERT_EQ(pio.pioMapCount, 4u);
    const char* names[] = {"A", "B", "User1", "D"};
    const uint32_t directions[] = {0, 1, 2, 0};
    for (uint32_t c = 0; c < 4; ++c) {
        const svf::PodPin* pin = pio.pod.byColumn[c];
        ASSERT_NE(pin, nullptr) << c;
        EXPECT_EQ(pin->logicalName, names[c]);
        EXPECT_EQ(pin->direction, directions[c]);
        EXPECT_EQ(pin->column, c + 1);
    }
    ASSERT_TRUE(pio.pioPattern);
    EXPECT_EQ(pod_.calls,
              (Strings{"GetPodInfo 1", "GetPodInfo 2", "GetPodInfo 3", "GetPodInfo 4"}));
    EXPECT_FALSE(pio.pod.byTap[3]);  // no pin of TAP 3 mapped
}

TEST_F(PioStatement, ColumnFormOverLinesGivesBothDirections) {
    ASSERT_EQ(Run(svf::kTokenPioMap, {"(", "2 A", "1 B", ");", "SIR"}), svf::kOk) << log_.Dump();
    const svf::PioState& pio = session_->pio;
    ASSERT_EQ(pio.pioMapCount, 2u);
    EXPECT_EQ(pio.pod.byColumn[0]->logicalName, "B");
    EXPECT_EQ(pio.pod.byColumn[1]->logicalName, "A");
    EXPECT_EQ(pio.pod.byColumn[0]->direction, svf::kDirectionInOut);
    EXPECT_EQ(pio.pod.byColumn[1]->direction, svf::kDirectionInOut);
    // The statement was consumed up to its ";" and no further.
    EXPECT_EQ(svf::NextToken(*session_).code, svf::kTokenSir);
}

constexpr int kMap = svf::kTokenPioMap;
constexpr int kPio = svf::kTokenPio;  // after "PIOMAP (IN A OUT B);" on line 1

struct ErrorRow {
    int token;
    Strings lines;
    std::string message;
    svf::Status status = svf::kPioStatementFailed;
};

TEST_F(PioStatement, RefusedStatementsReportAndCallNothing) {
    const std::string mismatch = kE + "PIOMAP mismatch with PIO mapping file";
    const ErrorRow rows[] = {
        {kMap, {"IN A);"}, kE + "opening bracket expected"},
        {kMap, {"(IN A 2 B);"}, kE + "syntax must be consistent"},
        {kMap, {"(2 A IN B);"}, kE + "column number expected, found 'IN'"},
        {kMap, {"(1 A 2x B);"}, kE + "column number expected, found '2x'"},
        {kMap,
         {"(IN A OUT Nobody);"},
         kE + "logical name 'Nobody' is not defined in the PIO mapping file"},
        {kMap, {"(0 A);"}, mismatch},
        {kMap, {"(1 A 21 B);"}, mismatch},
        {kMap, {"(4294967297 A);"}, mismatch},
        {kMap, {"(IN A IN A IN A IN A IN A IN A IN A IN A);"}, mismatch},
        {kMap, {"(1 A 1 B);"}, kE + "column number 1 redefinition"},
        // A name may come twice: only the column and count checks apply.
        {kMap, {"(1 A 1 a);"}, kE + "column number 1 redefinition"},
        {kMap, {"(UP A);"}, kE + "direction or column number expected, found 'UP'"},
        {kMap,
         {"(1 A 3 B);"},
         kE + "PIOMAP column 2 is missing; columns must be numbered 1 to 2 without gaps"},
        {kMap,
         {"(2 A 3 B);"},
         kE + "PIOMAP column 1 is missing; columns must be numbered 1 to 2 without gaps"},
        {kMap,
         {"(IN A", "", "OUT Nobody);"},
         "SVF line      3 : Error\t: logical name 'Nobody' is not defined in the PIO "
         "mapping file"},
        {kMap, {"(IN A"}, "Unexpected end of file at line 1"},
        {kPio, {"(H);"}, kE2 + "PIO pattern length = 1 (incorrect)"},
        {kPio, {"(HUL);"}, kE2 + "PIO pattern length = 3 (incorrect)"},
        {kPio, {"(H1);"}, kE2 + "illegal character '1' in pattern"},
        {kPio, {"(hq);"}, kE2 + "illegal character 'Q' in pattern"},
        {kPio, {"HU);"}, kE2 + "opening bracket expected"},
        {kPio, {"(HU;"}, kE2 + "closing bracket expected"},
        {kPio, {"(HU)", "SIR 8;"}, "SVF line      3 : Error\t: semicolon expected"},
        {kPio, {"(HU"}, kE2 + "illegal end of file"},
        {kPio, {"(UU);"}, kE2 + "PIO read on drive pin", svf::kPioReadOnDrivePin},
        {kPio, {"(LZ);"}, kE2 + "PIO drive on read pin", svf::kPioDriveOnReadPin},
    };
    session_->reader.lineNumber = 1;  // the line of the keyword
    EXPECT_EQ(Pio("(H);"), svf::kPioStatementFailed);
    EXPECT_EQ(log_.Errors(), Strings{kE + "PIOMAP must be defined before PIO statement"});
    for (const ErrorRow& row : rows) {
        SCOPED_TRACE(row.lines.front());
        log_.Clear();
        ResetPio();
        if (row.token == kPio) {
            ASSERT_EQ(Map("(IN A OUT B);"), svf::kOk);
        }
        EXPECT_EQ(Run(row.token, row.lines), row.status);
        EXPECT_EQ(log_.Errors(), Strings{row.message});
        EXPECT_TRUE(PioCalls().empty());
        // No pattern can be applied after a refused PIOMAP.
        if (row.token == kMap) {
            EXPECT_FALSE(session_->pio.pioPattern);
        }
    }
}

TEST_F(PioStatement, PioMapOnlyOnceAndBeforeTestCommands) {
    session_->reader.executedCount = 1;
    session_->reader.lineNumber = 1;  // the line of the keyword
    EXPECT_EQ(Map("(IN A);"), svf::kSyntax);
    EXPECT_FALSE(session_->pio.pioMapDefined);
    ResetPio();
    session_->reader.executedCount = 0;
    ASSERT_EQ(Map("(IN A);"), svf::kOk);
    EXPECT_EQ(Map("(OUT B);"), svf::kPioStatementFailed);
    EXPECT_EQ(log_.Errors(), (Strings{kE + "PIOMAP must be defined before test commands",
                                      kE + "PIOMAP already defined"}));
    EXPECT_EQ(session_->pio.pod.byColumn[0]->logicalName, "A");
}

TEST_F(PioStatement, ControllerUsedPinCannotBeMappedUnlessTheMapWins) {
    pod_.usedPins[1] = 0x2;     // TAP 1 pin 2 = B
    pod_.podInfoResult[2] = 1;  // TAP 2 gives no information
    pod_.usedPins[2] = 0x8;
    EXPECT_EQ(Map("(IN A OUT B IN D);"), svf::kPioPinInUse);
    EXPECT_EQ(log_.Errors(), Strings{"Error: I/O pin 2 of TAP1 cannot be used as PIO pin"});
    EXPECT_EQ(session_->pio.pod.tapIoPinCount, 1u);

    log_.Clear();
    ResetPio();
    session_->options.keepMappedPins = true;
    pod_.usedPins[1] = 0x3;
    pod_.usedPins[3] = 0x1;
    EXPECT_EQ(Map("(IN A OUT B);"), svf::kOk) << log_.Dump();
    EXPECT_EQ(session_->pio.pod.tapIoPinCount, 1u);  // only the pin of TAP 3
}

// -------------------------------------------------------------------- PIO

TEST_F(PioStatement, DisabledStatementsAreSkippedToTheirSemicolon) {
    session_->pio.pioEnabled = false;
    EXPECT_EQ(Run(svf::kTokenPioMap, {"(IN A", "OUT B); SIR"}), svf::kOk);
    EXPECT_EQ(svf::NextToken(*session_).code, svf::kTokenSir);
    EXPECT_EQ(Run(svf::kTokenPio, {"(HX"}), svf::kSyntax);
    EXPECT_EQ(log_.Errors(),
              Strings{"SVF line      3 : Error\t: could not read PIO(MAP) statement"});
    EXPECT_FALSE(session_->pio.pioMapDefined);
    EXPECT_TRUE(pod_.calls.empty());
}

// A (TAP 1 pin 1) IN, B (pin 2) OUT, C (pin 3) INOUT, D (TAP 2 pin 4) INOUT;
// the board holds B and D high, undriven C reads low.
TEST_F(PioStatement, MasksAndComparison) {
    struct Row {
        const char* pattern;
        Strings calls;
        uint32_t mismatches;
    };
    const Row rows[] = {
        {"HUHH", {"AccessPioPins 1 7 5 5", "AccessPioPins 2 8 8 8"}, 0},
        {"LDLL", {"AccessPioPins 1 7 5 0", "AccessPioPins 2 8 8 0"}, 1},
        // Z leaves an input undriven; X never fails.
        {"ZXZX", {"AccessPioPins 1 7 0 0", "AccessPioPins 2 8 0 0"}, 0},
        {"HUUu", {"AccessPioPins 1 7 1 1", "AccessPioPins 2 8 0 0"}, 1},
        {"LDDd", {"AccessPioPins 1 7 1 0", "AccessPioPins 2 8 0 0"}, 2},
    };
    pod_.externalHigh[1] = 0x2;
    pod_.externalHigh[2] = 0x8;
    ASSERT_EQ(Map("(IN A OUT B INOUT C INOUT D);"), svf::kOk);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.pattern);
        pod_.calls.clear();
        session_->counters.failureCount = 0;
        EXPECT_EQ(Pio(std::string("(") + row.pattern + ");"), svf::kOk) << log_.Dump();
        EXPECT_EQ(PioCalls(), row.calls);
        EXPECT_EQ(session_->counters.failureCount, row.mismatches);
    }
    EXPECT_TRUE(log_.Errors().empty());
}

TEST_F(PioStatement, PodSignalsAreSetInPinOrder) {
    session_->connection.testerTap = 3;
    ASSERT_EQ(Map("(IN Vpp_E INOUT User1 IN user0 IN A);"), svf::kOk);
    ASSERT_EQ(Pio("(HlhZ);"), svf::kOk) << log_.Dump();
    EXPECT_EQ(PioCalls(), (Strings{"SetPodSignal 3 0 1", "SetPodSignal 3 1 0", "SetPodSignal 3 2 1",
                                   "AccessPioPins 1 1 0 0"}));
}

// The pod signals are set first, then the TAP pins are accessed; the first
// failure ends the statement.
TEST_F(PioStatement, ControllerFailuresStopAtTheFirst) {
    struct Row {
        const char* pattern;
        uint32_t signalResult;
        uint32_t failingCall;
        uint32_t accessResult;
        svf::Status status;
        std::string message;
        size_t calls;
    };
    const std::string setFailed = "Error: Setting pod signal failed; pod cable unplugged";
    const std::string notSupported = "Error: PIO is not supported on the used controller";
    const std::string writeFailed = "Error: Unable to write to PIO pins; pod cable unplugged";
    const std::string cannotSense = kE2 + "Pod pins USER0, USER1 and VPP_E cannot sense";
    const Row rows[] = {
        {"HZH", 0, 0, 0, svf::kPioReadOnDrivePin,
         kE2 + "Pod pins USER0, USER1 and VPP_E cannot drive high impedance", 1},
        {"UHH", 0, 0, 0, svf::kPioReadOnDrivePin, cannotSense, 0},
        {"LXH", 0, 0, 0, svf::kPioReadOnDrivePin, cannotSense, 1},
        {"HHH", 2, 0, 0, svf::kNotSupported, notSupported, 1},
        {"HHH", 1, 2, 0, svf::kPioControllerFailed, setFailed, 2},
        {"HHH", 7, 0, 0, svf::kPioControllerFailed, setFailed, 1},
        {"LLH", 0, 0, 2, svf::kNotSupported, notSupported, 3},
        {"LLH", 0, 0, 1, svf::kPioControllerFailed, writeFailed, 3},
        {"LLH", 0, 0, 9, svf::kPioControllerFailed, writeFailed, 3},
    };
    ASSERT_EQ(Map("(INOUT User0 INOUT User1 IN A);"), svf::kOk);
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.pattern << " " << row.signalResult);
        log_.Clear();
        pod_.calls.clear();
        pod_.signalCalls = 0;
        session_->pio.controllerAnswer = 0;
        pod_.signalResult = row.signalResult;
        pod_.signalResultFromCall = row.failingCall;
        pod_.accessResult = row.accessResult;
        session_->reader.lineNumber = 1;
        EXPECT_EQ(Pio(std::string("(") + row.pattern + ");"), row.status);
        EXPECT_EQ(log_.Errors(), Strings{row.message});
        EXPECT_EQ(PioCalls().size(), row.calls);
        // The failing call's own answer becomes the run's result code.
        const uint32_t answer = row.accessResult != 0 ? row.accessResult : row.signalResult;
        const bool failed = row.status == svf::kPioControllerFailed;
        EXPECT_EQ(session_->pio.controllerAnswer, failed ? answer : 0u);
    }
}

TEST_F(PioStatement, GangingAllowsPodSignalsOnly) {
    session_->options.gangingActive = true;
    ASSERT_EQ(Map("(IN User0 IN Vpp_E OUT D);"), svf::kOk);
    EXPECT_EQ(Pio("(LHX);"), svf::kNotSupported);
    EXPECT_EQ(log_.Errors(), Strings{"Error: PIO on TAP2 is not supported in ganging mode"});
    EXPECT_EQ(PioCalls(), (Strings{"SetPodSignal 1 0 0", "SetPodSignal 1 2 1"}));
}

// ------------------------------------------------------ mismatch records

// Numbered form: columns 1 and 3 fail (C and A expect high but read low),
// column 2 passes; without a mismatch nothing is written. (The line form is
// pinned end to end in pio_e2e_test.cpp.)
TEST_F(PioStatement, MismatchRecordsInNumberedForm) {
    const std::pair<const char*, std::string> rows[] = {
        {"(UHU);",
         "PAR CMD_ID 4 PIN C BIT_OFFSET 0 LOOP_CNT 0\nPAR CMD_ID 4 PIN A BIT_OFFSET 0 LOOP_CNT "
         "0\n"},
        {"(XHD);", ""}};
    TempDir dir;
    const std::string path = dir.PathOf("errors.txt");
    session_->errorFile.numberedErrorFormat = true;
    session_->counters.commandCount = 5;
    ASSERT_EQ(Map("(INOUT C IN B INOUT A);"), svf::kOk);
    for (const auto& [pattern, written] : rows) {
        SCOPED_TRACE(pattern);
        session_->errorFile.errorStream.reset(std::fopen(path.c_str(), "w"));
        ASSERT_TRUE(session_->errorFile.errorStream);
        session_->counters.failureCount = 4;
        ASSERT_EQ(Pio(pattern), svf::kOk) << log_.Dump();
        session_->errorFile.errorStream.reset();
        EXPECT_EQ(svftest::ReadFile(path), svftest::TextLines(written));
        EXPECT_EQ(session_->counters.failureCount, written.empty() ? 4u : 6u);
    }
}

}  // namespace
