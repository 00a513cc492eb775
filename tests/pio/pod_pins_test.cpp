// Pod pin model: pin codes, registration and its refusals, the default pod
// signals, controller-used TAP pins, pattern application and TAP tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pio/pod_pins.h"
#include "support/messages.h"

namespace {

using svftest::MessageLog;

struct Mapped {
    uint32_t code;
    const char* name;
    uint32_t direction;
};

// Registers the pins and puts them into PIOMAP columns 1, 2, ... in order,
// as a PIOMAP in direction form leaves the model.
void MapPins(svf::PodPins& pod, const std::vector<Mapped>& pins) {
    for (size_t i = 0; i < pins.size(); ++i) {
        ASSERT_EQ(svf::AddPodPin(&pod, nullptr, pins[i].code, pins[i].name), svf::kOk);
        svf::PodPin* pin = pod.pins.back().get();
        pin->direction = pins[i].direction;
        pin->column = static_cast<uint32_t>(i + 1);
        pod.byColumn[i] = pin;
    }
}

std::vector<std::string> NamesOf(const svf::PodPins& pod) {
    std::vector<std::string> names;
    for (const auto& pin : pod.pins) names.push_back(pin->logicalName);
    return names;
}

// The session's registration of the pod signals after the mapping file.
void AddDefaultSignals(const SvfReport* report, svf::PodPins& pod) {
    svf::AddPodPin(&pod, report, svf::kPinCodeUser0, "User0");
    svf::AddPodPin(&pod, report, svf::kPinCodeUser1, "User1");
    svf::AddPodPin(&pod, report, svf::kPinCodeVppE, "Vpp_E");
}

// ------------------------------------------------------------- pin codes

TEST(PodPin, CodesGiveTapAndPin) {
    struct Case {
        uint32_t code, tap, pin;
    };
    const Case cases[] = {{1, 1, 1}, {4, 1, 4},  {5, 2, 1},  {8, 2, 4},  {11, 3, 3},
                          {16, 4, 4}, {17, 0, 3}, {18, 0, 1}, {19, 0, 2}};
    for (const Case& c : cases) {
        svf::Status status = svf::kInternal;
        const auto pin = svf::MakePodPin(nullptr, c.code, "Name", 7, status);
        ASSERT_TRUE(pin) << c.code;
        EXPECT_EQ(status, svf::kOk);
        EXPECT_EQ(pin->tap, c.tap) << c.code;
        EXPECT_EQ(pin->pin, c.pin) << c.code;
        EXPECT_EQ(pin->logicalName, "Name");
        EXPECT_EQ(pin->value, '0');
        EXPECT_EQ(pin->direction, svf::kDirectionInOut);
        EXPECT_EQ(pin->column, 7u);
    }
}

TEST(PodPin, CodeOutsideRangeIsRefused) {
    for (const uint32_t code : {0u, 20u, 0xFFFFFFFFu}) {
        MessageLog log;
        svf::Status status = svf::kOk;
        EXPECT_FALSE(svf::MakePodPin(log.report(), code, "Name", 1, status)) << code;
        EXPECT_EQ(status, svf::kInternal);
        EXPECT_EQ(log.Errors(), std::vector<std::string>{"Error: Internal error, bad tapAndPinNmbr"});
    }
}

// ----------------------------------------------------------- registration

TEST(AddPodPin, ColumnsFollowRegistrationOrder) {
    svf::PodPins pod;
    ASSERT_EQ(svf::AddPodPin(&pod, nullptr, 6, "B"), svf::kOk);
    ASSERT_EQ(svf::AddPodPin(&pod, nullptr, 2, "A"), svf::kOk);
    ASSERT_EQ(pod.pinCount, 2u);
    EXPECT_EQ(pod.pins[0]->column, 1u);
    EXPECT_EQ(pod.pins[1]->column, 2u);
    EXPECT_EQ(NamesOf(pod), (std::vector<std::string>{"B", "A"}));
}

TEST(AddPodPin, DuplicatesAreRefusedSilently) {
    struct Case {
        uint32_t code;
        const char* name;
        svf::Status status;
    };
    // Pin identity is checked against each earlier pin before its name.
    const Case cases[] = {{1, "Other", svf::kPioPinDefined},
                          {2, "clock", svf::kPioNameDefined},
                          {5, "clock", svf::kPioNameDefined},
                          {2, "CLOCK", svf::kPioNameDefined},
                          {5, "Data", svf::kPioPinDefined},
                          {18, "Data", svf::kPioNameDefined}};
    for (const Case& c : cases) {
        MessageLog log;
        svf::PodPins pod;
        ASSERT_EQ(svf::AddPodPin(&pod, nullptr, 1, "Clock"), svf::kOk);
        ASSERT_EQ(svf::AddPodPin(&pod, nullptr, 5, "Data"), svf::kOk);
        EXPECT_EQ(svf::AddPodPin(&pod, log.report(), c.code, c.name), c.status) << c.name;
        EXPECT_TRUE(log.Errors().empty());
        EXPECT_EQ(pod.pinCount, 2u);
        EXPECT_EQ(NamesOf(pod), (std::vector<std::string>{"Clock", "Data"}));
    }
}

TEST(AddPodPin, InternalGuardsAndLimit) {
    MessageLog log;
    EXPECT_EQ(svf::AddPodPin(nullptr, log.report(), 1, "A"), svf::kInternal);
    svf::PodPins pod;
    EXPECT_EQ(svf::AddPodPin(&pod, log.report(), 1, nullptr), svf::kInternal);
    EXPECT_EQ(svf::AddPodPin(&pod, log.report(), 25, "A"), svf::kInternal);
    pod.pinCount = svf::kMaxPodPins;
    EXPECT_EQ(svf::AddPodPin(&pod, log.report(), 1, "A"), svf::kPioTooManyPins);
    EXPECT_EQ(log.Errors(),
              (std::vector<std::string>{
                  "Error: Internal error, no pod data structure found",
                  "Error: Internal error, logical name not found",
                  "Error: Internal error, bad tapAndPinNmbr",
                  "Error reading mapping file: maximum number of pod PIO pins exceeded"}));
    EXPECT_TRUE(pod.pins.empty());
}

// -------------------------------------------------------- default signals

TEST(DefaultSignals, RegisteredAfterTheFilePairs) {
    MessageLog log;
    svf::PodPins pod;
    ASSERT_EQ(svf::AddPodPin(&pod, nullptr, 3, "Reset"), svf::kOk);
    AddDefaultSignals(log.report(), pod);
    EXPECT_TRUE(log.Errors().empty());
    EXPECT_EQ(NamesOf(pod), (std::vector<std::string>{"Reset", "User0", "User1", "Vpp_E"}));
    EXPECT_EQ(pod.pins[3]->tap, 0u);
    EXPECT_EQ(pod.pins[3]->pin, 3u);
    EXPECT_EQ(pod.pins[3]->column, 4u);
}

TEST(DefaultSignals, FileNamesWin) {
    MessageLog log;
    svf::PodPins pod;
    // USER0 renamed; the default name User1 taken by a TAP pin.
    ASSERT_EQ(svf::AddPodPin(&pod, nullptr, 18, "Enable"), svf::kOk);
    ASSERT_EQ(svf::AddPodPin(&pod, nullptr, 9, "USER1"), svf::kOk);
    AddDefaultSignals(log.report(), pod);
    EXPECT_TRUE(log.Errors().empty());
    EXPECT_EQ(NamesOf(pod), (std::vector<std::string>{"Enable", "USER1", "Vpp_E"}));
}

TEST(DefaultSignals, EveryTapPinNamedLeavesRoomForTheSignals) {
    MessageLog log;
    svf::PodPins pod;
    for (uint32_t code = 1; code <= 16; ++code) {
        std::string name = "P";
        name += std::to_string(code);
        ASSERT_EQ(svf::AddPodPin(&pod, nullptr, code, name.c_str()), svf::kOk);
    }
    ASSERT_EQ(svf::AddPodPin(&pod, nullptr, svf::kPinCodeVppE, "Prog"), svf::kOk);
    AddDefaultSignals(log.report(), pod);
    EXPECT_TRUE(log.Errors().empty());
    EXPECT_EQ(pod.pinCount, 19u);
    EXPECT_EQ(pod.pins[17]->logicalName, "User0");
    EXPECT_EQ(pod.pins[18]->logicalName, "User1");
}

TEST(DefaultSignals, FullModelReportsEachSignalThatDoesNotFit) {
    MessageLog log;
    svf::PodPins pod;
    pod.pinCount = svf::kMaxPodPins;
    AddDefaultSignals(log.report(), pod);
    EXPECT_EQ(log.Errors(),
              std::vector<std::string>(
                  3, "Error reading mapping file: maximum number of pod PIO pins exceeded"));
    EXPECT_TRUE(pod.pins.empty());
}

// ---------------------------------------------------------- TAP I/O pins

TEST(TapIoPins, MasksBecomePinsWithLevels) {
    svf::PodPins pod;
    // Bits above the fourth are not pins.
    ASSERT_EQ(svf::AddTapIoPins(&pod, nullptr, false, 2, 0x3D, 0x05), svf::kOk);
    ASSERT_EQ(pod.tapIoPinCount, 3u);
    ASSERT_EQ(pod.tapIoPins.size(), 3u);
    const uint32_t pins[] = {1, 3, 4};
    const char levels[] = {'H', 'H', 'L'};
    for (size_t i = 0; i < 3; ++i) {
        const svf::PodPin& pin = *pod.tapIoPins[i];
        EXPECT_EQ(pin.tap, 2u);
        EXPECT_EQ(pin.pin, pins[i]);
        EXPECT_EQ(pin.value, levels[i]);
        EXPECT_EQ(pin.direction, svf::kDirectionOut);
        EXPECT_EQ(pin.column, 0u);
        EXPECT_TRUE(pin.logicalName.empty());
    }
    EXPECT_TRUE(pod.pins.empty());
}

TEST(TapIoPins, Refusals) {
    struct Case {
        uint32_t tap, pin;
        char level;
        const char* message;
    };
    const char* scope = "Error: Internal error, TAP or pin number out of scope, or value NOT 'L'/'H'";
    const Case cases[] = {{1, 1, 'H', "Error: Internal error, TAP or pin number already in use"},
                          {5, 1, 'H', scope},
                          {1, 0, 'L', scope},
                          {1, 5, 'L', scope},
                          {1, 2, 'h', scope},
                          {1, 2, 'Z', scope}};
    for (const Case& c : cases) {
        MessageLog log;
        svf::PodPins pod;
        ASSERT_EQ(svf::AddTapIoPin(&pod, nullptr, false, 1, 1, 'L'), svf::kOk);
        EXPECT_EQ(svf::AddTapIoPin(&pod, log.report(), false, c.tap, c.pin, c.level),
                  svf::kInternal);
        EXPECT_EQ(log.Errors(), std::vector<std::string>{c.message});
        EXPECT_EQ(pod.tapIoPinCount, 1u);
    }
    MessageLog log;
    svf::PodPins pod;
    EXPECT_EQ(svf::AddTapIoPins(&pod, log.report(), false, 5, 1, 0), svf::kInternal);
    EXPECT_EQ(svf::AddTapIoPins(nullptr, log.report(), false, 1, 1, 0), svf::kInternal);
    EXPECT_EQ(log.Errors(), std::vector<std::string>(2, "Error: Internal error, TAP not in pod"));
}

TEST(TapIoPins, FirstErrorStopsTheMask) {
    MessageLog log;
    svf::PodPins pod;
    ASSERT_EQ(svf::AddTapIoPin(&pod, nullptr, false, 3, 2, 'L'), svf::kOk);
    EXPECT_EQ(svf::AddTapIoPins(&pod, log.report(), false, 3, 0xF, 0), svf::kInternal);
    EXPECT_EQ(pod.tapIoPinCount, 2u);  // pin 1 added, pin 2 refused, 3 and 4 not tried
    EXPECT_EQ(log.Errors().size(), 1u);
}

struct KeepCase {
    bool keepMappedPins;
    uint32_t usedPinMask;  // TAP 1 pins the controller reports
    svf::Status status;
};

class KeepMappedPins : public testing::TestWithParam<KeepCase> {};

TEST_P(KeepMappedPins, MappedPinAgainstControllerPin) {
    const KeepCase& c = GetParam();
    MessageLog log;
    svf::PodPins pod;
    MapPins(pod, {{2, "Sel", svf::kDirectionIn}, {18, "User0", svf::kDirectionIn}});
    ASSERT_EQ(svf::AddTapIoPins(&pod, log.report(), c.keepMappedPins, 1, c.usedPinMask, 0),
              svf::kOk);
    EXPECT_EQ(svf::BuildTapTables(&pod, log.report()), c.status);
    if (c.status == svf::kPioPinInUse) {
        EXPECT_EQ(log.Errors(),
                  std::vector<std::string>{"Error: I/O pin 2 of TAP1 cannot be used as PIO pin"});
    } else {
        EXPECT_TRUE(log.Errors().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(PodPins, KeepMappedPins,
                         testing::Values(KeepCase{false, 0x2, svf::kPioPinInUse},
                                         KeepCase{false, 0x3, svf::kPioPinInUse},
                                         KeepCase{true, 0x2, svf::kOk},
                                         KeepCase{true, 0x3, svf::kOk},
                                         KeepCase{false, 0x5, svf::kOk},
                                         KeepCase{true, 0x5, svf::kOk}));

// ------------------------------------------------------ pattern application

struct PatternCase {
    const char* pattern;
    svf::Status status;
    const char* values;  // values of the three mapped pins afterwards
};

class ApplyPattern : public testing::TestWithParam<PatternCase> {};

TEST_P(ApplyPattern, ChecksDirectionsAndKeepsEarlierValues) {
    const PatternCase& c = GetParam();
    svf::PodPins pod;
    MapPins(pod, {{1, "In", svf::kDirectionIn},
                  {2, "Out", svf::kDirectionOut},
                  {3, "Both", svf::kDirectionInOut}});
    EXPECT_EQ(svf::ApplyPioPattern(pod, c.pattern), c.status);
    const std::string values = {pod.pins[0]->value, pod.pins[1]->value, pod.pins[2]->value};
    EXPECT_EQ(values, c.values);
}

INSTANTIATE_TEST_SUITE_P(
    PodPins, ApplyPattern,
    testing::Values(PatternCase{"HUZ", svf::kOk, "HUZ"}, PatternCase{"LDX", svf::kOk, "LDX"},
                    PatternCase{"ZXH", svf::kOk, "ZXH"}, PatternCase{"", svf::kOk, "000"},
                    PatternCase{"XUH", svf::kPioReadOnDrivePin, "000"},
                    PatternCase{"HZL", svf::kPioDriveOnReadPin, "H00"},
                    PatternCase{"LH", svf::kPioDriveOnReadPin, "L00"},
                    PatternCase{"HD1", svf::kSyntax, "HD0"},
                    PatternCase{"hUZ", svf::kSyntax, "000"},
                    PatternCase{"HUZH", svf::kInternal, "HUZ"}));

TEST(ApplyPattern, SecondPatternOverwritesValues) {
    svf::PodPins pod;
    MapPins(pod, {{1, "A", svf::kDirectionInOut}, {2, "B", svf::kDirectionInOut}});
    ASSERT_EQ(svf::ApplyPioPattern(pod, "HU"), svf::kOk);
    ASSERT_EQ(svf::ApplyPioPattern(pod, "LD"), svf::kOk);
    EXPECT_EQ(pod.pins[0]->value, 'L');
    EXPECT_EQ(pod.pins[1]->value, 'D');
}

// -------------------------------------------------------------- TAP tables

TEST(BuildTapTables, IndexesColumnPinsByTapAndPin) {
    svf::PodPins pod;
    MapPins(pod, {{7, "A", svf::kDirectionIn},
                  {19, "U1", svf::kDirectionIn},
                  {5, "B", svf::kDirectionOut},
                  {17, "Vpp", svf::kDirectionIn}});
    ASSERT_EQ(svf::BuildTapTables(&pod, nullptr), svf::kOk);
    EXPECT_FALSE(pod.byTap[1]);
    EXPECT_FALSE(pod.byTap[3]);
    EXPECT_FALSE(pod.byTap[4]);
    ASSERT_TRUE(pod.byTap[0]);
    ASSERT_TRUE(pod.byTap[2]);
    EXPECT_EQ(pod.byTap[0]->tap, 0u);
    EXPECT_EQ(pod.byTap[2]->tap, 2u);
    const svf::TapPinTable& tap2 = *pod.byTap[2];
    EXPECT_EQ(tap2.pins[1], pod.pins[2].get());
    EXPECT_EQ(tap2.pins[3], pod.pins[0].get());
    EXPECT_EQ(tap2.pins[2], nullptr);
    EXPECT_EQ(tap2.pins[4], nullptr);
    const svf::TapPinTable& signals = *pod.byTap[0];
    EXPECT_EQ(signals.pins[1], nullptr);
    EXPECT_EQ(signals.pins[2], pod.pins[1].get());
    EXPECT_EQ(signals.pins[3], pod.pins[3].get());
}

TEST(BuildTapTables, StopsAtTheFirstEmptyColumn) {
    svf::PodPins pod;
    MapPins(pod, {{1, "A", svf::kDirectionIn}, {9, "B", svf::kDirectionIn}});
    pod.byColumn[2] = pod.byColumn[1];
    pod.byColumn[1] = nullptr;
    ASSERT_EQ(svf::BuildTapTables(&pod, nullptr), svf::kOk);
    EXPECT_TRUE(pod.byTap[1]);
    EXPECT_FALSE(pod.byTap[3]);
}

TEST(BuildTapTables, InternalErrors) {
    MessageLog log;
    EXPECT_EQ(svf::BuildTapTables(nullptr, log.report()), svf::kInternal);
    svf::PodPins pod;
    MapPins(pod, {{1, "A", svf::kDirectionIn}});
    pod.pins[0]->tap = 5;
    EXPECT_EQ(svf::BuildTapTables(&pod, log.report()), svf::kInternal);
    EXPECT_EQ(log.Errors(), std::vector<std::string>(2, "Error: Internal error"));
}

}  // namespace
