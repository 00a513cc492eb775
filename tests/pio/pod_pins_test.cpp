// Pod pin model: registration and its refusals, controller-used TAP pins and
// the internal guards. Pin codes, mapping, patterns and TAP tables are driven
// through the mapping file and the PIO statements.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pio/pod_pins.h"
#include "support/messages.h"

namespace {

using svftest::MessageLog;
using Strings = std::vector<std::string>;

TEST(AddPodPin, DuplicatesAreRefusedSilently) {
    struct Row {
        uint32_t code;
        const char* name;
        svf::Status status;
    };
    // Pin identity is checked against each earlier pin before its name.
    const Row rows[] = {{1, "Other", svf::kPioPinDefined},  {2, "clock", svf::kPioNameDefined},
                        {5, "clock", svf::kPioNameDefined}, {2, "CLOCK", svf::kPioNameDefined},
                        {5, "Data", svf::kPioPinDefined},   {18, "Data", svf::kPioNameDefined}};
    MessageLog log;
    svf::PodPins pod;
    ASSERT_EQ(svf::AddPodPin(&pod, nullptr, 1, "Clock"), svf::kOk);
    ASSERT_EQ(svf::AddPodPin(&pod, nullptr, 5, "Data"), svf::kOk);
    for (const Row& row : rows) {
        EXPECT_EQ(svf::AddPodPin(&pod, log.report(), row.code, row.name), row.status) << row.name;
    }
    EXPECT_TRUE(log.Errors().empty());
    EXPECT_EQ(pod.pinCount, 2u);
    EXPECT_EQ(pod.pins.size(), 2u);
}

TEST(AddPodPin, InternalGuardsAndLimit) {
    MessageLog log;
    EXPECT_EQ(svf::AddPodPin(nullptr, log.report(), 1, "A"), svf::kInternal);
    svf::PodPins pod;
    EXPECT_EQ(svf::AddPodPin(&pod, log.report(), 1, nullptr), svf::kInternal);
    // Codes 1 to 19 name pins.
    for (const uint32_t code : {0u, 20u, 0xFFFFFFFFu}) {
        EXPECT_EQ(svf::AddPodPin(&pod, log.report(), code, "A"), svf::kInternal) << code;
    }
    pod.pinCount = svf::kMaxPodPins;
    EXPECT_EQ(svf::AddPodPin(&pod, log.report(), 1, "A"), svf::kPioTooManyPins);
    EXPECT_EQ(log.Errors(),
              (Strings{"Error: Internal error, no pod data structure found",
                       "Error: Internal error, logical name not found",
                       "Error: Internal error, bad tapAndPinNmbr",
                       "Error: Internal error, bad tapAndPinNmbr",
                       "Error: Internal error, bad tapAndPinNmbr",
                       "Error reading mapping file: maximum number of pod PIO pins exceeded"}));
    EXPECT_TRUE(pod.pins.empty());
}

TEST(TapIoPins, Refusals) {
    const std::string inUse = "Error: Internal error, TAP or pin number already in use";
    const std::string scope =
        "Error: Internal error, TAP or pin number out of scope, or value NOT 'L'/'H'";
    const std::string notInPod = "Error: Internal error, TAP not in pod";
    MessageLog log;
    svf::PodPins pod;
    ASSERT_EQ(svf::AddTapIoPin(&pod, nullptr, false, 1, 1, 'L'), svf::kOk);
    EXPECT_EQ(svf::AddTapIoPin(&pod, log.report(), false, 1, 1, 'H'), svf::kInternal);
    EXPECT_EQ(svf::AddTapIoPin(&pod, log.report(), false, 5, 1, 'H'), svf::kInternal);
    EXPECT_EQ(svf::AddTapIoPin(&pod, log.report(), false, 1, 5, 'L'), svf::kInternal);
    EXPECT_EQ(svf::AddTapIoPin(&pod, log.report(), false, 1, 2, 'Z'), svf::kInternal);
    EXPECT_EQ(svf::AddTapIoPins(&pod, log.report(), false, 5, 1, 0), svf::kInternal);
    EXPECT_EQ(svf::AddTapIoPins(nullptr, log.report(), false, 1, 1, 0), svf::kInternal);
    // The first refused pin of a mask stops it: pin 1 added, 2 refused, 3 and 4 not tried.
    ASSERT_EQ(svf::AddTapIoPin(&pod, nullptr, false, 3, 2, 'L'), svf::kOk);
    EXPECT_EQ(svf::AddTapIoPins(&pod, log.report(), false, 3, 0xF, 0), svf::kInternal);
    EXPECT_EQ(pod.tapIoPinCount, 3u);
    EXPECT_EQ(log.Errors(), (Strings{inUse, scope, scope, scope, notInPod, notInPod, inUse}));
}

TEST(BuildTapTables, InternalErrors) {
    MessageLog log;
    EXPECT_EQ(svf::BuildTapTables(nullptr, log.report()), svf::kInternal);
    svf::PodPins pod;
    ASSERT_EQ(svf::AddPodPin(&pod, nullptr, 1, "A"), svf::kOk);
    pod.byColumn[0] = pod.pins[0].get();
    pod.pins[0]->tap = 5;
    EXPECT_EQ(svf::BuildTapTables(&pod, log.report()), svf::kInternal);
    EXPECT_EQ(log.Errors(), Strings(2, "Error: Internal error"));
}

}  // namespace
