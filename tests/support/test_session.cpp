#include "support/test_session.h"

#include <sstream>

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

#if !defined(_WIN32)
ChildRun RunWithFileSizeLimit(long limitBytes, MessageLog& log,
                              const std::function<int32_t()>& job) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    if (fork() == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(limitBytes), static_cast<rlim_t>(limitBytes)};
        setrlimit(RLIMIT_FSIZE, &limit);
        const int32_t result = job();
        std::string summary =
            std::to_string(result) + " " + std::to_string(log.report()->resultCode);
        for (const std::string& error : log.Errors()) summary += "\n" + error;
        _exit(write(fds[1], summary.data(), summary.size()) == static_cast<ssize_t>(summary.size())
                  ? 0
                  : 1);
    }
    close(fds[1]);
    std::string summary;
    char chunk[4096];
    for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;)
        summary.append(chunk, static_cast<size_t>(n));
    close(fds[0]);
    wait(nullptr);
    ChildRun run;
    std::istringstream in(summary);
    in >> run.result >> run.resultCode;
    in.ignore(1);
    for (std::string line; std::getline(in, line);) run.errors.push_back(line);
    return run;
}
#endif

}  // namespace svftest
