// veltra-serve as a child process of a test (Linux only, like the server):
// its output in files, its ports read from its "listening on" lines. Every
// wait is bounded.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"

extern char** environ;

namespace simtest {

inline constexpr int kServeWaitMs = 5000;

class ServeProcess {
  public:
    explicit ServeProcess(std::vector<std::string> args) {
        const auto dir = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        args.insert(args.begin(), (dir / "veltra-serve").string());
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (const int fd : {1, 2}) {
            posix_spawn_file_actions_addopen(&actions, fd,
                                             dir_.PathOf(fd == 1 ? "out" : "err").c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        }
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        // One line per listener: both protocols unless some are named.
        const long named = std::count(args.begin(), args.end(), "--remote-bitbang") +
                           std::count(args.begin(), args.end(), "--xvc");
        for (int waited = 0; waited < kServeWaitMs && pid_ > 0; waited += 10) {
            if (Listeners() >= (named == 0 ? 2 : named)) break;
            if (Exited(WNOHANG)) break;  // refused to start, or printed its help
            usleep(10000);
        }
    }
    ~ServeProcess() { Stop(); }
    ServeProcess(const ServeProcess&) = delete;
    ServeProcess& operator=(const ServeProcess&) = delete;

    // The port of the "<name> listening on 127.0.0.1:PORT" line; 0 if none.
    int Port(const std::string& name) const {
        const std::string out = Output();
        const std::string key = name + " listening on 127.0.0.1:";
        const size_t at = out.find(key);
        return at == std::string::npos ? 0 : std::stoi(out.substr(at + key.size()));
    }
    // "<name>:127.0.0.1:PORT", the bridge's connection string.
    std::string Address(const std::string& name) const {
        return name + ":127.0.0.1:" + std::to_string(Port(name));
    }
    std::string Output() const { return svftest::ReadFile(dir_.PathOf("out")); }
    std::string Errors() const { return svftest::ReadFile(dir_.PathOf("err")); }

    // SIGTERM, SIGKILL when it does not end in time; the exit status, -1 when
    // it was killed or did not exit normally.
    int Stop() {
        if (pid_ <= 0) return exitStatus_;
        kill(pid_, SIGTERM);
        for (int waited = 0; waited < kServeWaitMs; waited += 10) {
            if (Exited(WNOHANG)) return exitStatus_;
            usleep(10000);
        }
        kill(pid_, SIGKILL);
        Exited(0);
        return exitStatus_ = -1;
    }

  private:
    // Complete "listening on" lines only: other output (help) means no
    // server, which the loop above waits out until the process ends.
    long Listeners() const {
        const std::string out = Output();
        long count = 0;
        for (size_t at = out.find(" listening on "); at != std::string::npos;
             at = out.find(" listening on ", at + 1)) {
            count += out.find('\n', at) != std::string::npos;
        }
        return count;
    }

    bool Exited(int options) {
        int status = 0;
        if (waitpid(pid_, &status, options) != pid_) return false;
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
        return true;
    }

    svftest::TempDir dir_;
    pid_t pid_ = -1;
    int exitStatus_ = -1;
};

}  // namespace simtest
