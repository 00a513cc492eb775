// FREQUENCY (CLOCK), merlo_correction and FLAG parsing. The statement text
// starts after its keyword.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "svf/reader/reader.h"
#include "svf/setting_statements.h"
#include "svf_fixture.h"

namespace {

using svftest::ErrorAt;
using svftest::WarningAt;
using Strings = std::vector<std::string>;

constexpr int32_t kHighLimit = 100000;  // kHz, above every value below

struct FrequencyCase {
    const char* name;
    std::string text;
    bool fixed;
    svf::Status status;
    int32_t frequency;  // kHz afterwards
    Strings errors;
    Strings warnings;
};

class Frequency : public svftest::SvfFixture, public ::testing::WithParamInterface<FrequencyCase> {};

TEST_P(Frequency, ConvertsToWholeKilohertz) {
    const FrequencyCase& c = GetParam();
    svf::SvfSession& session = Start({c.text});
    session.freq.maxFrequency = kHighLimit;
    session.freq.frequency = 0;
    session.freq.fixedFrequency = c.fixed;
    EXPECT_EQ(svf::ParseFrequency(session), c.status);
    EXPECT_EQ(session.freq.frequency, c.frequency);
    EXPECT_EQ(log.Errors(), c.errors);
    EXPECT_EQ(log.Warnings(), c.warnings);
}

const char* const kHzExpected = "HZ expected after frequency value";

INSTANTIATE_TEST_SUITE_P(
    SettingStatements, Frequency,
    ::testing::Values(
        FrequencyCase{"Hz", "1E6 HZ;", false, svf::kOk, 1000, {}, {}},
        FrequencyCase{"Fraction", "2.5E6 hz ;", false, svf::kOk, 2500, {}, {}},
        FrequencyCase{"CutToWholeKhz", "1500.7 HZ;", false, svf::kOk, 1, {}, {}},
        FrequencyCase{"BelowMinimum", "500 HZ;", false, svf::kOk, 1, {},
                      {WarningAt(1, "Frequency value of 500 is unsupported, minimum frequency is 1.0E3 HZ")}},
        FrequencyCase{"BelowMinimumAsWritten", "0.5E3 HZ;", false, svf::kOk, 1, {},
                      {WarningAt(1, "Frequency value of 0.5E3 is unsupported, minimum frequency is 1.0E3 HZ")}},
        FrequencyCase{"Mhz", "4 MHZ;", false, svf::kOk, 4000, {}, {WarningAt(1, kHzExpected)}},
        FrequencyCase{"Khz", "100 KHZ;", false, svf::kOk, 100, {}, {WarningAt(1, kHzExpected)}},
        FrequencyCase{"NoValueMeansHighest", ";", false, svf::kOk, kHighLimit, {}, {}},
        FrequencyCase{"AboveLimit", "1E12 HZ;", false, svf::kOk, kHighLimit, {}, {}},
        FrequencyCase{"Zero", "0 HZ;", false, svf::kSyntax, 0, {ErrorAt(1, "frequency value must be greater than zero")}, {}},
        // 0 x 10^huge is 0, not NaN; 10^999 is infinity, as too large as any.
        FrequencyCase{"ZeroTimesHugePower", "0E34294967295 HZ;", false, svf::kSyntax, 0,
                      {ErrorAt(1, "frequency value must be greater than zero")}, {}},
        FrequencyCase{"Infinite", "1E999 HZ;", false, svf::kOk, kHighLimit, {}, {}},
        FrequencyCase{"NotANumber", "fast;", false, svf::kSyntax, 0, {ErrorAt(1, "frequency value expected or semicolon")}, {}},
        FrequencyCase{"BadNumber", "1.E6 HZ;", false, svf::kSyntax, 0, {ErrorAt(1, "frequency value expected or semicolon")}, {}},
        FrequencyCase{"OtherUnit", "1E6 SEC;", false, svf::kSyntax, 0, {ErrorAt(1, kHzExpected)}, {}},
        FrequencyCase{"NoSemicolon", "1E6 HZ HZ;", false, svf::kSyntax, 0, {ErrorAt(1, "semicolon expected")}, {}},
        FrequencyCase{"EndOfFile", "1E6 HZ", false, svf::kSyntax, 0, {ErrorAt(1, "illegal end of file")}, {}},
        FrequencyCase{"FixedBelowMinimumNoValueWarning", "500 HZ;", true, svf::kOk, 0, {},
                      {WarningAt(1, "FREQUENCY statement ignored")}}),
    svftest::CaseName<FrequencyCase>);

// ---------------------------------------------------------- merlo_correction

class Correction : public svftest::SvfFixture {};

TEST_F(Correction, OtherValuesWarnAndLeaveTheSemicolon) {
    svf::SvfSession& session = Start({"1;"});
    EXPECT_EQ(svf::ParseCorrection(session), svf::kOk);
    EXPECT_EQ(log.Warnings(), Strings{WarningAt(1, "Flag value ON or OFF expected")});
    EXPECT_EQ(svf::NextToken(session).code, svf::kTokenSemicolon);
}

TEST_F(Correction, EndOfFileIsASyntaxError) {
    svf::SvfSession& session = Start({""});
    EXPECT_EQ(svf::ParseCorrection(session), svf::kSyntax);
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(1, "illegal end of file")});
}

// --------------------------------------------------------------------- FLAG

struct FlagErrorCase {
    const char* name;
    std::string text;
    svf::Status status;
    Strings errors;
};

class FlagErrors : public svftest::SvfFixture, public ::testing::WithParamInterface<FlagErrorCase> {};

TEST_P(FlagErrors, StopBeforeTheController) {
    svf::SvfSession& session = Start({GetParam().text});
    EXPECT_EQ(svf::ParseFlag(session), GetParam().status);
    EXPECT_EQ(log.Errors(), GetParam().errors);
    EXPECT_TRUE(svftest::TraceOf({"SetFlagLength"}).empty());
}

INSTANTIATE_TEST_SUITE_P(
    SettingStatements, FlagErrors,
    ::testing::Values(FlagErrorCase{"NotANumber", "x;", svf::kSyntax, {ErrorAt(1, "length expected")}},
                      FlagErrorCase{"Semicolon", ";", svf::kSyntax, {ErrorAt(1, "length expected")}},
                      FlagErrorCase{"NoSemicolon", "3 4;", svf::kSyntax, {ErrorAt(1, "semicolon expected")}},
                      FlagErrorCase{"EndOfFileSilent", "", svf::kEndOfFile, {}},
                      FlagErrorCase{"EndOfFileAfterLength", "3", svf::kEndOfFile, {}}),
    svftest::CaseName<FlagErrorCase>);

}  // namespace
