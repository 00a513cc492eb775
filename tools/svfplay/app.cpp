#include "app.h"

#include <optional>
#include <ostream>

#include "job.h"
#include "libraries.h"
#include "output.h"
#include "shared_library.h"
#include "trace.h"

namespace svfplay {

namespace {

int Fail(std::ostream& err, const std::string& message) {
    err << "svfplay: error: " << message << '\n';
    return kExitError;
}

// A player that returns something else is treated as an error.
int ExitStatus(int32_t returnValue) {
    return returnValue == SVF_RETURN_PASS || returnValue == SVF_RETURN_FAIL ? returnValue
                                                                            : kExitError;
}

uint32_t ProgressTotal(const Options& options, const Job& job) {
    if (options.fromMemory) return static_cast<uint32_t>(job.lines().size());
    return CountFileLines(options.svfFile);
}

std::unique_ptr<Controller> OpenController(const Options& options, std::string& error) {
    if (options.nullController) return Controller::Null();
    auto controller =
        Controller::Load(LibraryPath(options.controllerLibrary, kControllerLibraryName), error);
    if (controller && !options.boardFile.empty() &&
        !controller->LoadBoard(options.boardFile, error)) {
        return nullptr;
    }
    return controller;
}

// Human output: each message verbatim, line-number records feed the bar.
MessageRecorder::Listener HumanListener(std::ostream& out, ProgressBar& bar) {
    return [&out, &bar](const HostMessage& message) {
        if (message.kind == SVF_MESSAGE_LINE) {
            bar.Update(message.line);
            return;
        }
        bar.Clear();
        out << message.text << '\n';
    };
}

bool WriteTrace(TraceFile& file, const Controller& controller, const TraceRecorder* recorder,
                std::ostream& err) {
    if (recorder != nullptr) {
        for (const auto& line : recorder->lines()) file.Write(line.c_str());
        if (!recorder->complete()) err << "svfplay: warning: the trace is incomplete\n";
    } else {
        controller.WriteSimulatorTrace(file);
    }
    std::string error;
    if (file.Close(error)) return true;
    Fail(err, error);
    return false;
}

}  // namespace

int RunJob(const Options& options, std::ostream& out, std::ostream& err) {
    std::string error;
    const auto player = Player::Load(LibraryPath(options.playerLibrary, kPlayerLibraryName), error);
    if (!player) return Fail(err, error);
    const auto controller = OpenController(options, error);
    if (!controller) return Fail(err, error);
    const auto job = Job::Build(options, error);
    if (!job) return Fail(err, error);
    const bool updateLog = !options.updateLogFile.empty();
    if (updateLog && !controller->StartUpdateLog(error)) return Fail(err, error);

    const bool tracing = !options.traceFile.empty();
    TraceFile traceFile;
    if (tracing && !traceFile.Open(options.traceFile, error)) return Fail(err, error);
    // veltra-sim traces itself (and costs nothing when told not to); any
    // other controller gets a recording table in front.
    controller->SetSimulatorTrace(tracing);
    std::optional<TraceRecorder> recorder;
    if (tracing && !controller->IsSimulator()) recorder.emplace(controller->api());
    const VeltraApi* api = recorder ? recorder->api() : controller->api();

    const bool showProgress = !options.json && StderrIsTerminal();
    ProgressBar bar(err, showProgress ? ProgressTotal(options, *job) : 0, showProgress);
    MessageRecorder messages(options.verbosity, options.json ? MessageRecorder::Listener()
                                                             : HumanListener(out, bar));

    RunOutcome outcome;
    outcome.returnValue = player->Execute(api, messages.report(), job->record());
    bar.Clear();
    outcome.resultCode = messages.report()->resultCode;
    outcome.frequencyKhz = job->record()->frequencyKhz;
    outcome.gangFailMask = job->record()->gangFailMask;
    outcome.stats = controller->Stats();

    if (!messages.complete()) err << "svfplay: warning: messages were lost (out of memory)\n";
    if (options.json) {
        out << BuildJson(outcome, messages.messages())
                   .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
            << '\n';
    } else {
        out << FormatSummary(outcome, messages.messages());
    }
    out.flush();
    if (updateLog && !controller->WriteUpdateLog(options.updateLogFile, error)) {
        return Fail(err, error);
    }
    if (tracing && !WriteTrace(traceFile, *controller, recorder ? &*recorder : nullptr, err)) {
        return kExitError;
    }
    return ExitStatus(outcome.returnValue);
}

int RunSvfplay(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ParseOutcome parsed = ParseCommandLine(args);
    switch (parsed.kind) {
        case ParseOutcome::Kind::Help:
            out << parsed.text;
            return 0;
        case ParseOutcome::Kind::Error:
            err << parsed.text << '\n';
            return kExitError;
        case ParseOutcome::Kind::Run:
            break;
    }
    return RunJob(parsed.options, out, err);
}

}  // namespace svfplay
