// The two libraries svfplay drives: the player and the controller (or the
// built-in null controller). veltra-sim's extra exports are used when the
// controller library has them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "shared_library.h"
#include "svfplayer/svf_player.h"
#include "veltra_sim.h"

namespace svfplay {

// `given` when set, else `defaultName` next to the executable or, in an
// installed tree, in ../lib beside the executable's folder.
std::filesystem::path LibraryPath(const std::string& given, const char* defaultName);

class Player {
  public:
    // Null (and `error`) when the library or its Svf_Execute is missing.
    static std::unique_ptr<Player> Load(const std::filesystem::path& path, std::string& error);
    // Svf_Init, Svf_Execute, Svf_Exit.
    int32_t Execute(const VeltraApi* api, SvfReport* report, SvfInfo* info) const;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
    SharedLibrary library_;
    SvfInitFunction init_ = nullptr;
    SvfInitFunction exit_ = nullptr;
    SvfExecuteFunction execute_ = nullptr;
};

// veltra-sim's exports beside Veltra_GetApi; null in another controller.
struct SimHooks {
    decltype(&VeltraSim_LoadBoardFile) loadBoardFile = nullptr;
    decltype(&VeltraSim_LastError) lastError = nullptr;
    decltype(&VeltraSim_EnableTrace) enableTrace = nullptr;
    decltype(&VeltraSim_ClearTrace) clearTrace = nullptr;
    decltype(&VeltraSim_TraceCount) traceCount = nullptr;
    decltype(&VeltraSim_TraceLine) traceLine = nullptr;
    decltype(&VeltraSim_GetStats) getStats = nullptr;
    decltype(&VeltraSim_EnableUpdateLog) enableUpdateLog = nullptr;
    decltype(&VeltraSim_WriteUpdateLog) writeUpdateLog = nullptr;

    decltype(&VeltraSim_ControllerVersion) controllerVersion = nullptr;
    decltype(&VeltraSim_FailureCount) failureCount = nullptr;
    decltype(&VeltraSim_FailureTotal) failureTotal = nullptr;
    decltype(&VeltraSim_GetFailure) getFailure = nullptr;
    decltype(&VeltraSim_ClearFailures) clearFailures = nullptr;

    bool HasTrace() const { return enableTrace != nullptr && clearTrace != nullptr; }
    bool HasFailures() const {
        return failureCount != nullptr && failureTotal != nullptr && getFailure != nullptr &&
               clearFailures != nullptr;
    }
};

class Controller {
  public:
    // The table of the library at `path`, taken through Veltra_GetApi.
    static std::unique_ptr<Controller> Load(const std::filesystem::path& path, std::string& error);
    static std::unique_ptr<Controller> Null();

    const VeltraApi* api() const { return api_; }
    // veltra-sim: it keeps its own trace and statistics.
    bool IsSimulator() const { return sim_.HasTrace() && sim_.getStats != nullptr; }

    // False (and `error`) when the controller cannot load boards or the file
    // does not load.
    bool LoadBoard(const std::string& path, std::string& error) const;
    // svfplay records the trace itself: the simulator's own is switched off
    // (and emptied), so a long run does not keep it in memory.
    void SwitchOffSimulatorTrace() const;
    std::optional<VeltraSimStats> Stats() const;
    // The simulator's update log: started empty before a run, written after
    // it. False (and `error`) when the controller keeps none or the file fails.
    bool StartUpdateLog(std::string& error) const;
    bool WriteUpdateLog(const std::string& path, std::string& error) const;

    // The simulator's failing compare shifts (null hooks: another controller).
    const SimHooks& sim() const { return sim_; }
    // The frequency the controller reports running at, if it reports one.
    std::optional<uint32_t> ReportedFrequencyKhz() const;
    // "2.2" and where it comes from; empty for the built-in null controller.
    std::string Version() const;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
    SharedLibrary library_;
    const VeltraApi* api_ = nullptr;
    SimHooks sim_;
};

}  // namespace svfplay
