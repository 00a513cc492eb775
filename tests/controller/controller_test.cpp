// Controller access: null slots, the "failed; %s" text rule and the version
// probe of the controller library.
#include <gtest/gtest.h>

#include <memory>

#include "controller/controller.h"
#include "platform/platform.h"
#include "support/sim.h"

namespace {

const char* FixedText() { return "cable unplugged"; }
uint32_t Fails(uint32_t) { return VELTRA_FAILED; }

TEST(Controller, NullSlotAnswersNotSupported) {
    VeltraApi api{};
    EXPECT_EQ(svf::Call<&VeltraApi::ResetTap>(&api, 1u), VELTRA_NOT_SUPPORTED);
    api.ResetTap = Fails;
    EXPECT_EQ(svf::Call<&VeltraApi::ResetTap>(&api, 1u), VELTRA_FAILED);
}

TEST(Controller, FailureTextRule) {
    VeltraApi api{};
    EXPECT_STREQ(svf::FailureText(&api, VELTRA_NOT_SUPPORTED), "function not supported");
    EXPECT_STREQ(svf::FailureText(&api, VELTRA_FAILED), "");  // no GetErrorText slot
    api.GetErrorText = FixedText;
    EXPECT_STREQ(svf::FailureText(&api, VELTRA_FAILED), "cable unplugged");
    EXPECT_STREQ(svf::FailureText(&api, 7), "cable unplugged");
    EXPECT_STREQ(svf::FailureText(&api, VELTRA_NOT_SUPPORTED), "function not supported");
}

TEST(Controller, VersionOfTheSimulatorLibraryIsTwoPointTwo) {
    // veltra-sim ships as libveltra.so.2.2 / veltra_64.dll with file version 2.2.
    svftest::SimSession sim;
    EXPECT_EQ(svf::ControllerLibraryVersion(sim.api()), svf::MakeVersion(2, 2));
}

extern "C" const VeltraApi* ForeignTable(VeltraGetErrorText errorText);

// Windows reads the version of the file veltra_64.dll as the DLL search
// finds it (here veltra-sim next to the test program), wherever the table
// lives; Linux takes it from the file name of the library holding the table,
// or else of the library holding its error-text slot.
TEST(Controller, VersionOfATableOutsideTheControllerLibrary) {
    svftest::SimSession sim;
    const VeltraGetErrorText simSlot = sim.api()->GetErrorText;
    static const VeltraApi hostTable{};  // lives in the test program itself
#if defined(_WIN32)
    EXPECT_EQ(svf::ControllerLibraryVersion(&hostTable), svf::MakeVersion(2, 2));
    EXPECT_EQ(svf::ControllerLibraryVersion(ForeignTable(simSlot)), svf::MakeVersion(2, 2));
#else
    EXPECT_EQ(svf::ControllerLibraryVersion(&hostTable), 0u);
    EXPECT_EQ(svf::ControllerLibraryVersion(ForeignTable(simSlot)), svf::MakeVersion(1, 6));
    const auto heapTable = std::make_unique<VeltraApi>();  // in no module at all
    EXPECT_EQ(svf::ControllerLibraryVersion(heapTable.get()), 0u);
    heapTable->GetErrorText = simSlot;
    EXPECT_EQ(svf::ControllerLibraryVersion(heapTable.get()), svf::MakeVersion(2, 2));
#endif
}

TEST(Controller, VersionOverrideSeam) {
    svftest::SimSession sim;
    svf::SetControllerVersionOverride(svf::MakeVersion(1, 6));
    EXPECT_EQ(svf::ControllerLibraryVersion(sim.api()), 0x10006u);
    svf::SetControllerVersionOverride(std::nullopt);
    EXPECT_EQ(svf::ControllerLibraryVersion(sim.api()), 0x20002u);
}

TEST(Platform, MillisecondClockAdvances) {
    const int32_t start = svf::platform::MillisecondClock();
    int32_t now = start;
    for (int i = 0; i < 100000000 && now - start < 2; ++i) now = svf::platform::MillisecondClock();
    EXPECT_GE(now - start, 2);
}

}  // namespace
