#include "app.h"

#include <array>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>

#include "adapter.h"
#include "failures.h"
#include "interrupt.h"
#include "job.h"
#include "libraries.h"
#include "output.h"
#include "preflight.h"
#include "shared_library.h"
#include "trace.h"

namespace svfplay {

namespace {

constexpr char kErrorPrefix[] = "svfplay: error: ";
constexpr std::array<unsigned char, 3> kUtf8ByteOrderMark = {0xEF, 0xBB, 0xBF};

std::string Dump(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// svfplay's own refusal: a message on stderr and, for scripts, the same
// JSON object a run gives.
int Refuse(bool json, const Refusal& refusal, std::ostream& out, std::ostream& err) {
    err << kErrorPrefix << refusal.message << '\n';
    if (json) {
        RunOutcome outcome;
        outcome.resultCode = refusal.resultCode;
        const HostMessage message{SVF_MESSAGE_ERROR, SVF_LEVEL_ERROR, 0, 0,
                                  kErrorPrefix + refusal.message};
        out << Dump(BuildJson(outcome, {message})) << '\n';
    }
    return kExitError;
}

// A player that returns something else is treated as an error.
int ExitStatus(int32_t returnValue) {
    return returnValue == SVF_RETURN_PASS || returnValue == SVF_RETURN_FAIL ? returnValue
                                                                            : kExitError;
}

int32_t AbortRequested(void* /*context*/) { return InterruptRequested() ? SVF_ABORT_REQUEST : 0; }

uint32_t ProgressTotal(const Options& options, const Job& job) {
    if (options.fromMemory) return static_cast<uint32_t>(job.lines().size());
    return CountFileLines(options.svfFile);
}

std::filesystem::path ControllerPath(const Options& options) {
    if (options.nullController) return {};
    return LibraryPath(options.controllerLibrary, kControllerLibraryName);
}

std::unique_ptr<Controller> OpenController(const Options& options, std::string& error) {
    if (options.nullController) return Controller::Null();
    if (!options.adapter.empty()) {
        return OpenAdapter(options.adapter, options.controllerLibrary, error);
    }
    auto controller = Controller::Load(ControllerPath(options), error);
    if (controller && !options.boardFile.empty() &&
        !controller->LoadBoard(options.boardFile, error)) {
        return nullptr;
    }
    return controller;
}

// The player writes no ERROR file from memory or when ganging.
bool ErrorFileWritten(const Options& options) {
    return !options.errorFile.empty() && !options.fromMemory && !options.gang;
}

// Human output: each message verbatim and at once (a watcher sees the run
// start), line-number records feed the bar.
MessageRecorder::Listener HumanListener(std::ostream& out, ProgressBar& bar) {
    return [&out, &bar](const HostMessage& message) {
        if (message.kind == SVF_MESSAGE_LINE) {
            bar.Update(message.line);
            return;
        }
        bar.Clear();
        out << message.text << '\n' << std::flush;
    };
}

bool StartsWithByteOrderMark(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::array<char, kUtf8ByteOrderMark.size()> start{};
    if (!in.read(start.data(), start.size())) return false;
    for (size_t i = 0; i < start.size(); ++i) {
        if (static_cast<unsigned char>(start[i]) != kUtf8ByteOrderMark[i]) return false;
    }
    return true;
}

// A syntax error on line 1 of a file saved with a byte-order mark.
void HintAtByteOrderMark(const Options& options, const RunOutcome& outcome,
                         const std::vector<HostMessage>& messages, std::ostream& err) {
    if (outcome.resultCode != SVF_RESULT_SYNTAX) return;
    bool onFirstLine = false;
    for (const auto& m : messages) {
        if (m.kind == SVF_MESSAGE_ERROR) onFirstLine = SvfLineOf(m) == 1u;
    }
    if (onFirstLine && StartsWithByteOrderMark(options.svfFile)) {
        err << "svfplay: hint: '" << options.svfFile
            << "' starts with a UTF-8 byte-order mark; save it without one\n";
    }
}

void WriteVersions(const Options& options, std::ostream& out) {
    out << "svfplay " << SVFPLAYER_VERSION_STRING << '\n';
    std::string error;
    const auto playerPath = LibraryPath(options.playerLibrary, kPlayerLibraryName);
    const auto player = Player::Load(playerPath, error);
    const std::string playerVersion = FileVersion(playerPath);
    out << "player: " << playerPath.string() << " ("
        << (player ? (playerVersion.empty() ? "version unknown" : playerVersion) : error) << ")\n";
    const auto controller = OpenController(options, error);
    out << "controller: "
        << (options.nullController ? std::string("none") : ControllerPath(options).string()) << " ("
        << (controller ? controller->Version() : error) << ")\n";
}

}  // namespace

int RunJob(const Options& options, std::ostream& out, std::ostream& err) {
    const auto playerPath = LibraryPath(options.playerLibrary, kPlayerLibraryName);
    if (const auto refusal =
            CheckFiles(options, playerPath.string(), ControllerPath(options).string())) {
        return Refuse(options.json, *refusal, out, err);
    }
    std::string error;
    const auto player = Player::Load(playerPath, error);
    const auto controller = player ? OpenController(options, error) : nullptr;
    const auto job = controller ? Job::Build(options, error) : nullptr;
    TraceFile traceFile;
    const bool tracing = !options.traceFile.empty();
    if (!job || (tracing && !traceFile.Open(options.traceFile, error))) {
        return Refuse(options.json, {SVF_RESULT_NOT_OPENED, error}, out, err);
    }
    const bool updateLog = !options.updateLogFile.empty();
    if (updateLog && !controller->StartUpdateLog(error)) {
        return Refuse(options.json, {SVF_RESULT_NOT_OPENED, error}, out, err);
    }
    if (options.fromMemory && !options.errorFile.empty() && !options.quiet) {
        err << "svfplay: warning: no ERROR file is written with --from-memory\n";
    }

    // The trace goes to its file call by call, whichever controller runs.
    controller->SwitchOffSimulatorTrace();
    if (controller->sim().HasFailures()) controller->sim().clearFailures();
    std::optional<TraceRecorder> recorder;
    if (tracing) {
        recorder.emplace(controller->api(),
                         [&traceFile](const std::string& line) { traceFile.Write(line); });
    }
    const VeltraApi* api = recorder ? recorder->api() : controller->api();

    const bool showProgress = !options.json && !options.quiet && StderrIsTerminal();
    ProgressBar bar(err, showProgress ? ProgressTotal(options, *job) : 0, showProgress);
    MessageRecorder messages(options.verbosity,
                             options.json ? MessageRecorder::Listener() : HumanListener(out, bar));
    messages.report()->abortCallback = &AbortRequested;

    RunOutcome outcome;
    {
        const InterruptGuard ctrlC;
        outcome.returnValue = player->Execute(api, messages.report(), job->record());
    }
    bar.Clear();
    outcome.resultCode = messages.report()->resultCode;
    outcome.frequencyKhz = job->record()->frequencyKhz;
    outcome.gangFailMask = job->record()->gangFailMask;
    outcome.stats = controller->Stats();
    outcome.controllerFrequencyKhz = controller->ReportedFrequencyKhz();

    FailureList seen, written;
    if (outcome.returnValue == SVF_RETURN_FAIL) {
        seen = SimulatorFailures(controller->sim(), options.maxFailures);
        if (ErrorFileWritten(options)) {
            written = ErrorFileFailures(options.errorFile, options.maxFailures);
        }
    }

    if (!messages.complete()) err << "svfplay: warning: messages were lost (out of memory)\n";
    if (options.json) {
        nlohmann::json failures = FailuresJson(seen);
        for (auto& record : FailuresJson(written)) failures.push_back(std::move(record));
        out << Dump(BuildJson(outcome, messages.messages(), std::move(failures))) << '\n';
    } else if (!options.quiet) {
        out << FormatSummary(outcome, messages.messages());
        WriteFailures(out, seen, "Failing scans seen by the controller");
        WriteFailures(out, written, "Failing statements in the ERROR file");
    }
    out.flush();
    HintAtByteOrderMark(options, outcome, messages.messages(), err);

    if (updateLog && !controller->WriteUpdateLog(options.updateLogFile, error)) {
        err << kErrorPrefix << error << '\n';
        return kExitError;
    }
    if (recorder && !recorder->complete()) err << "svfplay: warning: the trace is incomplete\n";
    if (tracing && !traceFile.Close(error)) {
        err << kErrorPrefix << error << '\n';
        return kExitError;
    }
    return ExitStatus(outcome.returnValue);
}

int RunSvfplay(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ParseOutcome parsed = ParseCommandLine(args);
    switch (parsed.kind) {
        case ParseOutcome::Kind::Help: out << parsed.text; return 0;
        case ParseOutcome::Kind::Version: WriteVersions(parsed.options, out); return 0;
        case ParseOutcome::Kind::Error:
            err << parsed.text << '\n';
            if (parsed.json) {
                std::string reason = parsed.text.substr(0, parsed.text.find('\n'));
                if (reason.rfind(kErrorPrefix, 0) == 0) reason.erase(0, sizeof kErrorPrefix - 1);
                std::ostringstream ignored;
                Refuse(true, {SVF_RESULT_BAD_JOB, reason}, out, ignored);
            }
            return kExitError;
        case ParseOutcome::Kind::Run: break;
    }
    return RunJob(parsed.options, out, err);
}

}  // namespace svfplay
