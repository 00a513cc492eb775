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
    uint32_t usedLevels[5] = {};
    uint32_t externalHigh[5] = {};
    uint32_t accessResult = VELTRA_OK;
    uint32_t signalResult = VELTRA_OK;
    uint32_t signalResultFromCall = 0;  // 1-based call that fails; 0 = every call
    std::vector<std::string> calls;
};

FakePod* fakePod = nullptr;

uint32_t FakeGetPodInfo(uint32_t tap, uint32_t* pinMask, uint32_t* levelMask) {
    fakePod->calls.push_back("GetPodInfo " + std::to_string(tap));
    if (fakePod->podInfoResult[tap] != VELTRA_OK) return fakePod->podInfoResult[tap];
    *pinMask = fakePod->usedPins[tap];
    *levelMask = fakePod->usedLevels[tap];
    return VELTRA_OK;
}

uint32_t FakeAccessPioPins(uint32_t tap, uint32_t used, uint32_t drive, uint32_t high,
                           uint32_t* readBack) {
    fakePod->calls.push_back("AccessPioPins " + std::to_string(tap) + " " + std::to_string(used) +
                             " " + std::to_string(drive) + " " + std::to_string(high));
    if (fakePod->accessResult != VELTRA_OK) return fakePod->accessResult;
    *readBack = ((high & drive) | (fakePod->externalHigh[tap] & ~drive)) & used;
    return VELTRA_OK;
}

uint32_t FakeSetPodSignal(uint32_t tap, uint32_t signal, uint32_t level) {
    fakePod->calls.push_back("SetPodSignal " + std::to_string(tap) + " " + std::to_string(signal) +
                             " " + std::to_string(level));
    uint32_t signalCalls = 0;
    for (const std::string& line : fakePod->calls) {
        if (line.rfind("SetPodSignal", 0) == 0) ++signalCalls;
    }
    return signalCalls < fakePod->signalResultFromCall ? VELTRA_OK : fakePod->signalResult;
}

const char* FakeErrorText() { return "pod cable unplugged"; }

constexpr const char* kLine1 = "SVF line      1 : Error\t: ";

class PioStatement : public testing::Test {
protected:
    PioStatement() : session_(log_) {
        fakePod = &pod_;
        api_.GetPodInfo = &FakeGetPodInfo;
        api_.AccessPioPins = &FakeAccessPioPins;
        api_.SetPodSignal = &FakeSetPodSignal;
        api_.GetErrorText = &FakeErrorText;
        session_->host.api = &api_;
        session_->pio.pioEnabled = true;
        // As a mapping file and the default pod signals leave the model.
        Register(1, "A");   // TAP 1 pin 1
        Register(2, "B");   // TAP 1 pin 2
        Register(3, "C");   // TAP 1 pin 3
        Register(8, "D");   // TAP 2 pin 4
        Register(svf::kPinCodeUser0, "User0");
        Register(svf::kPinCodeUser1, "User1");
        Register(svf::kPinCodeVppE, "Vpp_E");
    }
    ~PioStatement() override { fakePod = nullptr; }

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

    std::string Values() {
        std::string values;
        for (uint32_t c = 0; c < session_->pio.pioMapCount; ++c) {
            values += session_->pio.pod.byColumn[c]->value;
        }
        return values;
    }

    MessageLog log_;
    TestSession session_;
    FakePod pod_;
    VeltraApi api_{};
};

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
    EXPECT_EQ(pio.pod.byColumn[4], nullptr);
    ASSERT_TRUE(pio.pioPattern);
    EXPECT_EQ(pod_.calls, (std::vector<std::string>{"GetPodInfo 1", "GetPodInfo 2", "GetPodInfo 3",
                                                   "GetPodInfo 4"}));
    ASSERT_TRUE(pio.pod.byTap[0] && pio.pod.byTap[1] && pio.pod.byTap[2]);
    EXPECT_EQ(pio.pod.byTap[1]->pins[2]->logicalName, "B");
    EXPECT_EQ(pio.pod.byTap[2]->pins[4]->logicalName, "D");
    EXPECT_EQ(pio.pod.byTap[0]->pins[2]->logicalName, "User1");
    EXPECT_FALSE(pio.pod.byTap[3]);
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

struct ErrorCase {
    const char* name;
    std::vector<std::string> lines;
    svf::Status status;
    std::string message;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }
std::string CaseName(const testing::TestParamInfo<ErrorCase>& param) { return param.param.name; }

class PioMapError : public PioStatement, public testing::WithParamInterface<ErrorCase> {};

TEST_P(PioMapError, RefusedWithMessage) {
    const ErrorCase& c = GetParam();
    EXPECT_EQ(Run(svf::kTokenPioMap, c.lines), c.status);
    EXPECT_EQ(log_.Errors(), std::vector<std::string>{c.message});
    // No pattern can be applied after a refused PIOMAP.
    EXPECT_FALSE(session_->pio.pioPattern);
    EXPECT_TRUE(PioCalls().empty());
}

const std::string kE = kLine1;
// A PIO statement that follows a PIOMAP on line 1.
const std::string kE2 = "SVF line      2 : Error\t: ";

INSTANTIATE_TEST_SUITE_P(
    Pio, PioMapError,
    testing::Values(
        ErrorCase{"NoOpeningBracket", {"IN A);"}, svf::kPioStatementFailed, kE + "opening bracket expected"},
        ErrorCase{"DirectionThenColumn", {"(IN A 2 B);"}, svf::kPioStatementFailed, kE + "syntax must be consistent"},
        ErrorCase{"ColumnThenDirection", {"(2 A IN B);"}, svf::kPioStatementFailed,
                  kE + "column number expected, found 'IN'"},
        ErrorCase{"ColumnWithLetters", {"(1 A 2x B);"}, svf::kPioStatementFailed,
                  kE + "column number expected, found '2x'"},
        ErrorCase{"UnknownName", {"(IN A OUT Nobody);"}, svf::kPioStatementFailed,
                  kE + "logical name 'Nobody' is not defined in the PIO mapping file"},
        ErrorCase{"ColumnZero", {"(0 A);"}, svf::kPioStatementFailed, kE + "PIOMAP mismatch with PIO mapping file"},
        ErrorCase{"ColumnAboveTwenty", {"(1 A 21 B);"}, svf::kPioStatementFailed,
                  kE + "PIOMAP mismatch with PIO mapping file"},
        ErrorCase{"HugeColumn", {"(4294967297 A);"}, svf::kPioStatementFailed,
                  kE + "PIOMAP mismatch with PIO mapping file"},
        ErrorCase{"ColumnTwice", {"(1 A 1 B);"}, svf::kPioStatementFailed, kE + "column number 1 redefinition"},
        ErrorCase{"NotADirection", {"(UP A);"}, svf::kPioStatementFailed,
                  kE + "direction or column number expected, found 'UP'"},
        ErrorCase{"ColumnGap", {"(1 A 3 B);"}, svf::kPioStatementFailed,
                  kE + "PIOMAP column 2 is missing; columns must be numbered 1 to 2 without gaps"},
        ErrorCase{"ColumnsNotFromOne", {"(2 A 3 B);"}, svf::kPioStatementFailed,
                  kE + "PIOMAP column 1 is missing; columns must be numbered 1 to 2 without gaps"},
        // A name may come twice: only the column and count checks apply.
        ErrorCase{"SameNameSameColumn", {"(1 A 1 a);"}, svf::kPioStatementFailed, kE + "column number 1 redefinition"},
        ErrorCase{"MoreEntriesThanPins", {"(IN A IN A IN A IN A IN A IN A IN A IN A);"}, svf::kPioStatementFailed,
                  kE + "PIOMAP mismatch with PIO mapping file"},
        ErrorCase{"MessageOnLineOfTheWord", {"(IN A", "", "OUT Nobody);"}, svf::kPioStatementFailed,
                  "SVF line      3 : Error\t: logical name 'Nobody' is not defined in the PIO "
                  "mapping file"},
        ErrorCase{"EndOfInput", {"(IN A"}, svf::kPioStatementFailed, "Unexpected end of file at line 1"}),
    CaseName);

TEST_F(PioStatement, PioMapOnlyBeforeTestCommands) {
    session_->reader.executedCount = 1;
    session_->reader.lineNumber = 1;  // the line of the keyword
    EXPECT_EQ(Map("(IN A);"), svf::kSyntax);
    EXPECT_EQ(log_.Errors(),
              std::vector<std::string>{kE + "PIOMAP must be defined before test commands"});
    EXPECT_FALSE(session_->pio.pioMapDefined);
}

TEST_F(PioStatement, PioMapOnlyOnce) {
    ASSERT_EQ(Map("(IN A);"), svf::kOk);
    EXPECT_EQ(Map("(OUT B);"), svf::kPioStatementFailed);
    EXPECT_EQ(log_.Errors(), std::vector<std::string>{kE + "PIOMAP already defined"});
    EXPECT_EQ(session_->pio.pod.byColumn[0]->logicalName, "A");
}

TEST_F(PioStatement, ControllerUsedPinCannotBeMapped) {
    pod_.usedPins[1] = 0x2;      // TAP 1 pin 2 = B
    pod_.podInfoResult[2] = 1;   // TAP 2 gives no information
    pod_.usedPins[2] = 0x8;
    EXPECT_EQ(Map("(IN A OUT B IN D);"), svf::kPioPinInUse);
    EXPECT_EQ(log_.Errors(),
              std::vector<std::string>{"Error: I/O pin 2 of TAP1 cannot be used as PIO pin"});
    EXPECT_EQ(session_->pio.pod.tapIoPinCount, 1u);
}

TEST_F(PioStatement, KeepMappedPinsLetsTheMapWin) {
    session_->options.keepMappedPins = true;
    pod_.usedPins[1] = 0x3;
    pod_.usedPins[3] = 0x1;
    EXPECT_EQ(Map("(IN A OUT B);"), svf::kOk) << log_.Dump();
    EXPECT_EQ(session_->pio.pod.tapIoPinCount, 1u);  // only the pin of TAP 3
}

// -------------------------------------------------------------------- PIO

class PioError : public PioStatement, public testing::WithParamInterface<ErrorCase> {};

TEST_P(PioError, RefusedWithMessage) {
    const ErrorCase& c = GetParam();
    ASSERT_EQ(Map("(IN A OUT B);"), svf::kOk);
    EXPECT_EQ(Run(svf::kTokenPio, c.lines), c.status);
    EXPECT_EQ(log_.Errors(), std::vector<std::string>{c.message});
    EXPECT_TRUE(PioCalls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Pio, PioError,
    testing::Values(
        ErrorCase{"TooShort", {"(H);"}, svf::kPioStatementFailed, kE2 + "PIO pattern length = 1 (incorrect)"},
        ErrorCase{"TooLong", {"(HUL);"}, svf::kPioStatementFailed, kE2 + "PIO pattern length = 3 (incorrect)"},
        ErrorCase{"Digit", {"(H1);"}, svf::kPioStatementFailed, kE2 + "illegal character '1' in pattern"},
        ErrorCase{"LowerCaseShownUpper", {"(hq);"}, svf::kPioStatementFailed, kE2 + "illegal character 'Q' in pattern"},
        ErrorCase{"NoOpeningBracket", {"HU);"}, svf::kPioStatementFailed, kE2 + "opening bracket expected"},
        ErrorCase{"NoClosingBracket", {"(HU;"}, svf::kPioStatementFailed, kE2 + "closing bracket expected"},
        ErrorCase{"NoSemicolon", {"(HU)", "SIR 8;"}, svf::kPioStatementFailed,
                  "SVF line      3 : Error\t: semicolon expected"},
        ErrorCase{"EndOfInput", {"(HU"}, svf::kPioStatementFailed, kE2 + "illegal end of file"},
        ErrorCase{"ReadOnDrivePin", {"(UU);"}, svf::kPioReadOnDrivePin,
                  kE2 + "PIO read on drive pin"},
        ErrorCase{"DriveOnReadPin", {"(LZ);"}, svf::kPioDriveOnReadPin,
                  kE2 + "PIO drive on read pin"}),
    CaseName);

TEST_F(PioStatement, PioNeedsPioMap) {
    session_->reader.lineNumber = 1;
    EXPECT_EQ(Pio("(H);"), svf::kPioStatementFailed);
    EXPECT_EQ(log_.Errors(),
              std::vector<std::string>{kE + "PIOMAP must be defined before PIO statement"});
}

TEST_F(PioStatement, DisabledStatementsAreSkippedToTheirSemicolon) {
    session_->pio.pioEnabled = false;
    EXPECT_EQ(Run(svf::kTokenPioMap, {"(IN A", "OUT B); SIR"}), svf::kOk);
    EXPECT_EQ(svf::NextToken(*session_).code, svf::kTokenSir);
    EXPECT_EQ(Run(svf::kTokenPio, {"(HX"}), svf::kSyntax);
    EXPECT_EQ(log_.Errors(),
              std::vector<std::string>{"SVF line      3 : Error\t: could not read PIO(MAP) statement"});
    EXPECT_FALSE(session_->pio.pioMapDefined);
    EXPECT_TRUE(pod_.calls.empty());
}

// -------------------------------------------------------------- execution

struct DriveCase {
    const char* pattern;
    std::vector<std::string> calls;
    uint32_t mismatches;
};

class PioDrive : public PioStatement, public testing::WithParamInterface<DriveCase> {};

// A (TAP 1 pin 1) IN, B (pin 2) OUT, C (pin 3) INOUT, D (TAP 2 pin 4) INOUT;
// nothing outside drives the pins, so undriven pins read low.
TEST_P(PioDrive, MasksAndComparison) {
    const DriveCase& c = GetParam();
    ASSERT_EQ(Map("(IN A OUT B INOUT C INOUT D);"), svf::kOk);
    EXPECT_EQ(Pio(std::string("(") + c.pattern + ");"), svf::kOk) << log_.Dump();
    EXPECT_EQ(PioCalls(), c.calls);
    EXPECT_EQ(session_->counters.failureCount, c.mismatches);
    EXPECT_EQ(Values(), c.pattern);
    EXPECT_TRUE(log_.Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Pio, PioDrive,
    testing::Values(
        DriveCase{"HDHH", {"AccessPioPins 1 7 5 5", "AccessPioPins 2 8 8 8"}, 0},
        DriveCase{"LDLL", {"AccessPioPins 1 7 5 0", "AccessPioPins 2 8 8 0"}, 0},
        // Z leaves an input undriven; X never fails.
        DriveCase{"ZXZX", {"AccessPioPins 1 7 0 0", "AccessPioPins 2 8 0 0"}, 0},
        DriveCase{"HUUU", {"AccessPioPins 1 7 1 1", "AccessPioPins 2 8 0 0"}, 3},
        DriveCase{"LDDD", {"AccessPioPins 1 7 1 0", "AccessPioPins 2 8 0 0"}, 0}));

TEST_F(PioStatement, SensedLevelsAreCompared) {
    pod_.externalHigh[1] = 0x2;  // B reads high
    pod_.externalHigh[2] = 0x8;  // D reads high
    ASSERT_EQ(Map("(OUT B INOUT D);"), svf::kOk);
    ASSERT_EQ(Pio("(UU);"), svf::kOk);
    EXPECT_EQ(session_->counters.failureCount, 0u);
    ASSERT_EQ(Pio("(DU);"), svf::kOk);
    EXPECT_EQ(session_->counters.failureCount, 1u);
    ASSERT_EQ(Pio("(dd);"), svf::kOk);
    EXPECT_EQ(session_->counters.failureCount, 3u);
}

TEST_F(PioStatement, PodSignalsAreSetInPinOrder) {
    session_->connection.testerTap = 3;
    ASSERT_EQ(Map("(IN Vpp_E INOUT User1 IN user0 IN A);"), svf::kOk);
    ASSERT_EQ(Pio("(HlhZ);"), svf::kOk) << log_.Dump();
    EXPECT_EQ(PioCalls(), (std::vector<std::string>{"SetPodSignal 3 0 1", "SetPodSignal 3 1 0",
                                                    "SetPodSignal 3 2 1",
                                                    "AccessPioPins 1 1 0 0"}));
}

struct SignalCase {
    const char* name;
    const char* pattern;
    uint32_t signalResult;
    uint32_t failingCall;
    svf::Status status;
    std::string message;
    size_t signalCalls;
};

void PrintTo(const SignalCase& c, std::ostream* os) { *os << c.name; }

class PodSignalError : public PioStatement, public testing::WithParamInterface<SignalCase> {};

TEST_P(PodSignalError, StopsAtTheFirstFailure) {
    const SignalCase& c = GetParam();
    pod_.signalResult = c.signalResult;
    pod_.signalResultFromCall = c.failingCall;
    ASSERT_EQ(Map("(INOUT User0 INOUT User1 IN A);"), svf::kOk);
    EXPECT_EQ(Pio(std::string("(") + c.pattern + ");"), c.status);
    EXPECT_EQ(log_.Errors(), std::vector<std::string>{c.message});
    EXPECT_EQ(PioCalls().size(), c.signalCalls);  // TAP pins never reached
    // The failing call's own answer becomes the run's result code.
    if (c.status == svf::kPioControllerFailed) {
        EXPECT_EQ(session_->pio.controllerAnswer, c.signalResult);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pio, PodSignalError,
    testing::Values(
        SignalCase{"HighImpedance", "HZH", 0, 0, svf::kPioReadOnDrivePin,
                   kE2 + "Pod pins USER0, USER1 and VPP_E cannot drive high impedance", 1},
        SignalCase{"Sense", "UHH", 0, 0, svf::kPioReadOnDrivePin,
                   kE2 + "Pod pins USER0, USER1 and VPP_E cannot sense", 0},
        SignalCase{"NoExpectation", "LXH", 0, 0, svf::kPioReadOnDrivePin,
                   kE2 + "Pod pins USER0, USER1 and VPP_E cannot sense", 1},
        SignalCase{"NotSupported", "HHH", 2, 0, svf::kNotSupported,
                   "Error: PIO is not supported on the used controller", 1},
        SignalCase{"Failed", "HHH", 1, 2, svf::kPioControllerFailed, "Error: Setting pod signal failed; pod cable unplugged",
                   2},
        SignalCase{"OtherResult", "HHH", 7, 0, svf::kPioControllerFailed,
                   "Error: Setting pod signal failed; pod cable unplugged", 1}),
    [](const testing::TestParamInfo<SignalCase>& param) { return std::string(param.param.name); });

TEST_F(PioStatement, AccessFailures) {
    struct Case {
        uint32_t result;
        svf::Status status;
        const char* message;
    };
    const Case cases[] = {{2, svf::kNotSupported, "Error: PIO is not supported on the used controller"},
                          {1, svf::kPioControllerFailed, "Error: Unable to write to PIO pins; pod cable unplugged"},
                          {9, svf::kPioControllerFailed, "Error: Unable to write to PIO pins; pod cable unplugged"}};
    ASSERT_EQ(Map("(IN A IN D);"), svf::kOk);
    for (const Case& c : cases) {
        log_.Clear();
        pod_.calls.clear();
        pod_.accessResult = c.result;
        EXPECT_EQ(Pio("(HH);"), c.status);
        if (c.status == svf::kPioControllerFailed) {
            EXPECT_EQ(session_->pio.controllerAnswer, c.result);
        }
        EXPECT_EQ(log_.Errors(), std::vector<std::string>{c.message});
        EXPECT_EQ(pod_.calls, std::vector<std::string>{"AccessPioPins 1 1 1 1"});
    }
}

TEST_F(PioStatement, GangingAllowsPodSignalsOnly) {
    session_->options.gangingActive = true;
    ASSERT_EQ(Map("(IN User0 IN Vpp_E);"), svf::kOk);
    EXPECT_EQ(Pio("(LH);"), svf::kOk);
    EXPECT_EQ(PioCalls(), (std::vector<std::string>{"SetPodSignal 1 0 0", "SetPodSignal 1 2 1"}));
    EXPECT_TRUE(log_.Errors().empty());
}

TEST_F(PioStatement, GangingRefusesTapPins) {
    session_->options.gangingActive = true;
    ASSERT_EQ(Map("(IN User0 OUT D);"), svf::kOk);
    EXPECT_EQ(Pio("(HX);"), svf::kNotSupported);
    EXPECT_EQ(log_.Errors(),
              std::vector<std::string>{"Error: PIO on TAP2 is not supported in ganging mode"});
    EXPECT_EQ(PioCalls(), std::vector<std::string>{"SetPodSignal 1 0 1"});
}

// ------------------------------------------------------ mismatch records

class PioRecord : public PioStatement {
protected:
    // Columns 1 and 3 fail (C and A expect high but read low), column 2 passes.
    svf::Status RunFailingPio(bool numbered) {
        session_->errorFile.numberedErrorFormat = numbered;
        path_ = dir_.Write("errors.txt", "");
        session_->paths.errorPath = path_.c_str();
        session_->errorFile.errorStream.reset(std::fopen(path_.c_str(), "w"));
        EXPECT_TRUE(session_->errorFile.errorStream);
        session_->counters.commandCount = 5;
        session_->counters.failureCount = 4;
        EXPECT_EQ(Map("(INOUT C IN B INOUT A);"), svf::kOk);
        return Pio("(UHU);");
    }
    std::string Written() {
        session_->errorFile.errorStream.reset();
        return svftest::ReadFile(path_);
    }

    TempDir dir_;
    std::string path_;
};

TEST_F(PioRecord, NumberedFormListsColumnsInOrder) {
    ASSERT_EQ(RunFailingPio(true), svf::kOk) << log_.Dump();
    EXPECT_EQ(session_->counters.failureCount, 6u);
    EXPECT_EQ(Written(), svftest::TextLines("PAR CMD_ID 4 PIN C BIT_OFFSET 0 LOOP_CNT 0\n"
                                            "PAR CMD_ID 4 PIN A BIT_OFFSET 0 LOOP_CNT 0\n"));
}

TEST_F(PioRecord, NumberedFormWritesNothingWithoutMismatch) {
    session_->errorFile.numberedErrorFormat = true;
    path_ = dir_.Write("errors.txt", "");
    session_->errorFile.errorStream.reset(std::fopen(path_.c_str(), "w"));
    ASSERT_EQ(Map("(INOUT C IN B INOUT A);"), svf::kOk);
    ASSERT_EQ(Pio("(XHD);"), svf::kOk);
    EXPECT_EQ(Written(), "");
    EXPECT_EQ(session_->counters.failureCount, 0u);
}

TEST_F(PioRecord, LineFormRecordsTheStatement) {
    session_->reader.statementLine = 1;
    ASSERT_EQ(RunFailingPio(false), svf::kOk) << log_.Dump();
    EXPECT_EQ(session_->counters.failureCount, 6u);
    // Flags are examined from the last entry; entry i is numbered count-1-i.
    EXPECT_EQ(Written(), svftest::TextLines("PAR\nSVF_LINE 1\n        0        2\n"));
}

}  // namespace
