// The line splitting behind --from-memory and the line count behind the
// progress bar (a whole --from-memory run: svfplay_run_test.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job.h"
#include "support/files.h"

namespace {

TEST(SvfplayJob, SplitLinesAndCountFileLinesAgreeOnEveryLineEnd) {
    const struct {
        const char* text;
        std::vector<std::string> lines;
    } rows[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"x\ry\n", {"x\ry"}},  // a lone CR stays
        {"one\r\ntwo\r\nthree", {"one", "two", "three"}},
    };
    svftest::TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::string(row.text)));
        EXPECT_EQ(svfplay::SplitLines(row.text), row.lines);
        EXPECT_EQ(svfplay::CountFileLines(dir.Write("count.svf", row.text)), row.lines.size());
    }
    EXPECT_EQ(svfplay::CountFileLines(dir.PathOf("missing")), 0u);
}

}  // namespace
