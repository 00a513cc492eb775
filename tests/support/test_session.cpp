#include "support/test_session.h"

#include <sstream>

#include "veltra_sim.h"

namespace svftest {

TestSession::TestSession(MessageLog& log, std::vector<std::string> lines) {
    session_.host.api = Veltra_GetApi();
    session_.host.report = log.report();
    session_.host.libraryVersion = 0x20002;
    session_.connection.boardTap = 1;
    session_.connection.testerTap = 1;
    session_.freq.maxFrequency = 1000;
    session_.freq.frequency = 1000;
    session_.tap.tapState = svf::kStateReset;
    SetLines(std::move(lines));
}

void TestSession::SetLines(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    pointers_.clear();
    // The reader indexes the array by lineNumber: keep earlier slots filled.
    for (uint32_t i = 0; i < session_.reader.lineNumber; ++i) pointers_.push_back("");
    for (const std::string& line : lines_) pointers_.push_back(line.c_str());
    pointers_.push_back(nullptr);
    session_.reader.linesInMemory = true;
    session_.reader.memoryLines = pointers_.data();
    session_.reader.lineBuffer[0] = '\0';
    session_.reader.lineLength = 0;
    session_.reader.readPos = 0;
}

SvfInfo DefaultJob() {
    SvfInfo info{};
    info.tap = 1;
    info.frequencyKhz = 1000;
    return info;
}

int32_t RunSvf(const std::string& svfText, SvfInfo& info, MessageLog& log, const TempDir& dir) {
    std::vector<std::string> lines;
    std::vector<const char*> pointers;
    std::string path;
    if (info.flags & SVF_FLAG_LINES_IN_MEMORY) {
        std::istringstream in(svfText);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        for (const std::string& line : lines) pointers.push_back(line.c_str());
        pointers.push_back(nullptr);
        info.svfSource = pointers.data();
    } else {
        path = dir.Write("test.svf", svfText);
        info.svfSource = path.c_str();
    }
    const int32_t result = Svf_Execute(Veltra_GetApi(), log.report(), &info);
    info.svfSource = nullptr;
    return result;
}

}  // namespace svftest
