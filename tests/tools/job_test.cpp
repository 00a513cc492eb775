// The in-memory source and the line counting behind the progress bar.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job.h"
#include "support/files.h"

namespace {

using svfplay::SplitLines;

TEST(SvfplayJob, SplitLinesHandlesEveryLineEnd) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitLines(""), Lines{});
    EXPECT_EQ(SplitLines("a"), Lines{"a"});
    EXPECT_EQ(SplitLines("a\n"), Lines{"a"});
    EXPECT_EQ(SplitLines("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(SplitLines("a\n\nb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitLines("x\ry\n"), Lines{"x\ry"});  // a lone CR stays
}

TEST(SvfplayJob, FromMemoryPassesANullTerminatedLineArray) {
    svftest::TempDir dir;
    svfplay::Options options;
    options.svfFile = dir.Write("t.svf", "SIR 8 TDI(01);\r\nSDR 8 TDI(00);\n");
    options.fromMemory = true;
    std::string error;
    const auto job = svfplay::Job::Build(options, error);
    ASSERT_NE(job, nullptr) << error;
    EXPECT_NE(job->info().flags & SVF_FLAG_LINES_IN_MEMORY, 0u);
    const auto* lines = static_cast<const char* const*>(job->info().svfSource);
    ASSERT_NE(lines, nullptr);
    EXPECT_STREQ(lines[0], "SIR 8 TDI(01);");
    EXPECT_STREQ(lines[1], "SDR 8 TDI(00);");
    EXPECT_EQ(lines[2], nullptr);
}

TEST(SvfplayJob, FromMemoryWithAMissingFileIsRefused) {
    svftest::TempDir dir;
    svfplay::Options options;
    options.svfFile = dir.PathOf("missing.svf");
    options.fromMemory = true;
    std::string error;
    EXPECT_EQ(svfplay::Job::Build(options, error), nullptr);
    EXPECT_NE(error.find("missing.svf"), std::string::npos) << error;
}

TEST(SvfplayJob, CountFileLines) {
    svftest::TempDir dir;
    EXPECT_EQ(svfplay::CountFileLines(dir.Write("a", "")), 0u);
    EXPECT_EQ(svfplay::CountFileLines(dir.Write("b", "one")), 1u);
    EXPECT_EQ(svfplay::CountFileLines(dir.Write("c", "one\ntwo\n")), 2u);
    EXPECT_EQ(svfplay::CountFileLines(dir.Write("d", "one\r\ntwo\r\nthree")), 3u);
    EXPECT_EQ(svfplay::CountFileLines(dir.PathOf("missing")), 0u);
}

}  // namespace
