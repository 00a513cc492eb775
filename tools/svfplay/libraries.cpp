#include "libraries.h"

#include "null_controller.h"

#include <initializer_list>
#include <string_view>

namespace svfplay {

namespace {

// veltra-sim's controller version: major << 16 | minor.
constexpr unsigned kVersionMajorShift = 16;
constexpr uint32_t kVersionMinorMask = 0xFFFF;

// Appends the pieces in order (operator+ chains on strings trip a false
// -Wrestrict in some GCC versions at -O3).
std::string Join(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const auto part : parts) text.append(part);
    return text;
}

}  // namespace

std::filesystem::path LibraryPath(const std::string& given, const char* defaultName) {
    if (!given.empty()) return given;
    const std::filesystem::path beside = ExecutableDirectory() / defaultName;
    const std::filesystem::path installed =
        ExecutableDirectory().parent_path() / kInstalledLibraryFolder / defaultName;
    std::error_code error;
    if (!std::filesystem::exists(beside, error) && std::filesystem::exists(installed, error)) {
        return installed;
    }
    return beside;
}

std::unique_ptr<Player> Player::Load(const std::filesystem::path& path, std::string& error) {
    auto player = std::make_unique<Player>();
    player->path_ = path;
    std::string reason;
    player->library_ = SharedLibrary::Open(path, reason);
    if (!player->library_.IsOpen()) {
        error = Join({"cannot load the player library '", path.string(), "': ", reason});
        return nullptr;
    }
    player->execute_ = player->library_.Function<SvfExecuteFunction>("Svf_Execute");
    if (player->execute_ == nullptr) {
        error = Join({"'", path.string(), "' does not export Svf_Execute"});
        return nullptr;
    }
    player->init_ = player->library_.Function<SvfInitFunction>("Svf_Init");
    player->exit_ = player->library_.Function<SvfInitFunction>("Svf_Exit");
    return player;
}

int32_t Player::Execute(const VeltraApi* api, SvfReport* report, SvfInfo* info) const {
    if (init_ != nullptr) init_();
    const int32_t result = execute_(api, report, info);
    if (exit_ != nullptr) exit_();
    return result;
}

std::unique_ptr<Controller> Controller::Load(const std::filesystem::path& path,
                                             std::string& error) {
    auto controller = std::make_unique<Controller>();
    controller->path_ = path;
    std::string reason;
    controller->library_ = SharedLibrary::Open(path, reason);
    if (!controller->library_.IsOpen()) {
        error = Join({"cannot load the controller library '", path.string(), "': ", reason});
        return nullptr;
    }
    const auto& lib = controller->library_;
    const auto getApi = lib.Function<VeltraGetApiFunction>(VELTRA_GET_API_SYMBOL);
    if (getApi == nullptr) {
        error = Join({"'", path.string(), "' does not export ", VELTRA_GET_API_SYMBOL});
        return nullptr;
    }
    controller->api_ = getApi();
    if (controller->api_ == nullptr) {
        error = Join({"'", path.string(), "' returned no controller table"});
        return nullptr;
    }
    SimHooks& sim = controller->sim_;
    sim.loadBoardFile = lib.Function<decltype(sim.loadBoardFile)>("VeltraSim_LoadBoardFile");
    sim.lastError = lib.Function<decltype(sim.lastError)>("VeltraSim_LastError");
    sim.enableTrace = lib.Function<decltype(sim.enableTrace)>("VeltraSim_EnableTrace");
    sim.clearTrace = lib.Function<decltype(sim.clearTrace)>("VeltraSim_ClearTrace");
    sim.traceCount = lib.Function<decltype(sim.traceCount)>("VeltraSim_TraceCount");
    sim.traceLine = lib.Function<decltype(sim.traceLine)>("VeltraSim_TraceLine");
    sim.getStats = lib.Function<decltype(sim.getStats)>("VeltraSim_GetStats");
    sim.enableUpdateLog = lib.Function<decltype(sim.enableUpdateLog)>("VeltraSim_EnableUpdateLog");
    sim.writeUpdateLog = lib.Function<decltype(sim.writeUpdateLog)>("VeltraSim_WriteUpdateLog");

    sim.controllerVersion =
        lib.Function<decltype(sim.controllerVersion)>("VeltraSim_ControllerVersion");
    sim.failureCount = lib.Function<decltype(sim.failureCount)>("VeltraSim_FailureCount");
    sim.failureTotal = lib.Function<decltype(sim.failureTotal)>("VeltraSim_FailureTotal");
    sim.getFailure = lib.Function<decltype(sim.getFailure)>("VeltraSim_GetFailure");
    sim.clearFailures = lib.Function<decltype(sim.clearFailures)>("VeltraSim_ClearFailures");
    return controller;
}

std::unique_ptr<Controller> Controller::Null() {
    auto controller = std::make_unique<Controller>();
    controller->api_ = NullControllerApi();
    return controller;
}

bool Controller::LoadBoard(const std::string& path, std::string& error) const {
    if (sim_.loadBoardFile == nullptr) {
        error = "the controller cannot load board files (--board needs veltra-sim)";
        return false;
    }
    if (sim_.loadBoardFile(path.c_str()) != 0) {
        const char* reason = sim_.lastError != nullptr ? sim_.lastError() : nullptr;
        const bool hasReason = reason != nullptr && *reason != '\0';
        error = Join(
            {"cannot load board '", path, "'", hasReason ? ": " : "", hasReason ? reason : ""});
        return false;
    }
    return true;
}

void Controller::SwitchOffSimulatorTrace() const {
    if (!sim_.HasTrace()) return;
    sim_.enableTrace(0);
    sim_.clearTrace();
}

std::optional<uint32_t> Controller::ReportedFrequencyKhz() const {
    const uint32_t* record = nullptr;
    if (api_->GetControllerInfo == nullptr || api_->GetControllerInfo(&record) != VELTRA_OK ||
        record == nullptr || (record[0] & VELTRA_INFO_FREQUENCY_VALID) == 0) {
        return std::nullopt;
    }
    return record[VELTRA_INFO_WORD_FREQUENCY];
}

std::string Controller::Version() const {
    if (path_.empty()) return "built-in null controller";
    std::string text = FileVersion(path_);
    if (sim_.controllerVersion != nullptr) {
        const uint32_t version = sim_.controllerVersion();
        text += Join({text.empty() ? "" : ", ", "veltra-sim reporting controller version ",
                      std::to_string(version >> kVersionMajorShift), ".",
                      std::to_string(version & kVersionMinorMask)});
    }
    return text.empty() ? "version unknown" : text;
}

std::optional<VeltraSimStats> Controller::Stats() const {
    if (!IsSimulator()) return std::nullopt;
    VeltraSimStats stats{};
    sim_.getStats(&stats);
    return stats;
}

bool Controller::StartUpdateLog(std::string& error) const {
    if (sim_.enableUpdateLog == nullptr || sim_.writeUpdateLog == nullptr) {
        error = "--update-log needs veltra-sim as the controller";
        return false;
    }
    sim_.enableUpdateLog(1);
    return true;
}

bool Controller::WriteUpdateLog(const std::string& path, std::string& error) const {
    if (sim_.writeUpdateLog(path.c_str()) == 0) return true;
    error = sim_.lastError != nullptr ? sim_.lastError() : "cannot write the update log";
    return false;
}

}  // namespace svfplay
