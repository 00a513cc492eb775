#include "svf/dispatcher.h"

#include <array>

#include "pio/pio_statements.h"
#include "report/report.h"
#include "scan/waits.h"
#include "svf/reader/reader.h"
#include "svf/scan_statements.h"
#include "svf/setting_statements.h"
#include "svf/state_statements.h"

namespace svf {
namespace {

// Which counters a statement moves. commandCount goes up before the parser
// runs, so that a failure recorded while the statement runs belongs to it;
// executedCount counts statements that acted on the target.
enum class Counting {
    kNone,
    kCommand,              // FREQUENCY
    kCommandThenExecuted,  // SIR, SDR, RUNTEST, STATE: executed once they succeeded
    kCommandAndExecuted,   // PIO: both before it is handled
};

using Handler = Status (*)(int code, SvfSession& session);

struct Statement {
    Handler handler = nullptr;  // null: unknown command
    Counting counting = Counting::kNone;
};

Status UnknownCommand(SvfSession& session) {
    ReportLineError(session.host.report, static_cast<long>(session.reader.statementLine),
                    "unknown SVF command %s", session.reader.wordBuffer);
    return kSyntax;
}

Status HandleEndState(int code, SvfSession& session) { return ParseEndState(code, session); }
Status HandleScan(int code, SvfSession& session) { return ParseScanStatement(code, session); }
Status HandleRunTest(int, SvfSession& session) { return ParseRunTest(session); }
Status HandleState(int, SvfSession& session) { return ParseState(session); }
Status HandleTrst(int, SvfSession& session) { return ParseTrst(session); }
Status HandleFrequency(int, SvfSession& session) { return ParseFrequency(session); }
Status HandleCorrection(int, SvfSession& session) { return ParseCorrection(session); }
Status HandleFlag(int, SvfSession& session) { return ParseFlag(session); }

// Without PIO set up the statement is still read (and skipped) by its
// handler, after a warning.
Status HandlePio(int code, SvfSession& session) {
    if (!session.pio.pioEnabled) {
        ReportWarning(session.host.report,
                      code == kTokenPio ? "%s %6ld : PIO statements ignored"
                                        : "%s %6ld : PIOMAP statements ignored",
                      kSvfLine, static_cast<long>(session.reader.statementLine));
    }
    return HandlePioStatement(code, session);
}

// The ";" that ends a statement written on a marked comment line after a
// statement that leaves it unread (merlo_correction).
Status HandleSemicolon(int, SvfSession& session) {
    return session.reader.embeddedStatement ? kOk : UnknownCommand(session);
}

constexpr int kTokenCodes = kTokenFlag + 1;

constexpr std::array<Statement, kTokenCodes> kStatements = [] {
    std::array<Statement, kTokenCodes> table{};
    table[kTokenEndDr] = {HandleEndState, Counting::kNone};
    table[kTokenEndIr] = {HandleEndState, Counting::kNone};
    for (const int code : {kTokenHdr, kTokenHir, kTokenTdr, kTokenTir}) {
        table[code] = {HandleScan, Counting::kNone};
    }
    table[kTokenSdr] = {HandleScan, Counting::kCommandThenExecuted};
    table[kTokenSir] = {HandleScan, Counting::kCommandThenExecuted};
    table[kTokenPio] = {HandlePio, Counting::kCommandAndExecuted};
    table[kTokenPioMap] = {HandlePio, Counting::kNone};
    table[kTokenRunTest] = {HandleRunTest, Counting::kCommandThenExecuted};
    table[kTokenState] = {HandleState, Counting::kCommandThenExecuted};
    table[kTokenTrst] = {HandleTrst, Counting::kNone};
    table[kTokenSemicolon] = {HandleSemicolon, Counting::kNone};
    table[kTokenFrequency] = {HandleFrequency, Counting::kCommand};
    table[kTokenCorrection] = {HandleCorrection, Counting::kNone};
    table[kTokenFlag] = {HandleFlag, Counting::kNone};
    return table;
}();

Status Dispatch(int code, SvfSession& session) {
    if (code < 0 || code >= kTokenCodes ||
        kStatements[static_cast<size_t>(code)].handler == nullptr) {
        return UnknownCommand(session);
    }
    const Statement& statement = kStatements[static_cast<size_t>(code)];
    ReaderState& reader = session.reader;
    if (statement.counting != Counting::kNone) ++session.counters.commandCount;
    if (statement.counting == Counting::kCommandAndExecuted) ++reader.executedCount;
    const Status status = statement.handler(code, session);
    if (status == kOk && statement.counting == Counting::kCommandThenExecuted)
        ++reader.executedCount;
    return status;
}

void StartRun(SvfSession& session) {
    ReaderState& reader = session.reader;
    reader.statementLine = 0;
    reader.lineNumber = 0;
    reader.executedCount = 0;
    reader.lineBuffer[0] = '\0';
    reader.readPos = 0;
    session.tap.trstMode = 0;
    for (ScanPart& part : session.scanParts) part.declaredLength = 0;
    session.pio.pioMapDefined = false;
    session.pio.pioMapCount = 0;
}

Status FinishRun(SvfSession& session) {
    ReportNote(session.host.report, "End of SVF file");
    // A file that switched the correction off leaves the controller as it found it.
    if (session.freq.correctionMode != kCorrectionOn) SwitchCorrection(session, kCorrectionOn);
    ReleasePatterns(session);
    return session.counters.failureCount != 0 ? kRunFailures : kOk;
}

}  // namespace

Status RunStatements(SvfSession& session) {
    StartRun(session);
    for (;;) {
        const Token token = NextToken(session);
        if (token.status == kEndOfFile) return FinishRun(session);
        Status status = token.status;
        if (status == kOk) {
            session.reader.statementLine = session.reader.lineNumber;
            status = Dispatch(token.code, session);
        }
        if (status != kOk) {
            ReleasePatterns(session);
            return status;
        }
    }
}

}  // namespace svf
