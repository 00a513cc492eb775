// Connection set-up: the tester TAP, the lead and tail bits of every scan and
// the TRST/RESET restrictions, taken from a CNN model or from the connection
// strings of the job record.
#include "cnn/connection_setup.h"

#include <cstring>

#include "cnn/cnn_file.h"
#include "report/report.h"

namespace svf {
namespace {

// A block is written in chain order, TDI side first, and the scan shifts the
// TDO side first: walked from its last segment back, a first pattern (written
// after the board TAP) leads, and the next pattern, past the board TAP when
// that comes between, trails.
void TakeLeadAndTail(const ShiftStep* block, LeadTail& lead, LeadTail& tail) {
    if (block == nullptr || block->segments.empty()) return;
    auto segment = block->segments.rbegin();
    const auto end = block->segments.rend();
    if (segment->IsPattern()) lead = {segment->bitCount, segment->driveBits.data()};
    ++segment;
    if (segment != end && !segment->IsPattern()) ++segment;
    if (segment != end && segment->IsPattern()) {
        tail = {segment->bitCount, segment->driveBits.data()};
    }
}

}  // namespace

bool CheckConnection(SvfSession& session) {
    Connection& connection = session.connection;
    const SvfReport* report = session.host.report;
    const CnnModel& model = connection.cnnModel;
    if (model.empty()) {
        ReportWarning(report, "Error parsing CNN file");
        return false;
    }
    const bool severalChannels = model.size() > 1;
    if (severalChannels)
        ReportWarning(report, "Error: More than 1 tester TAP specified in CNN file");
    if (!CheckBoardTap(model, connection.boardTap)) {
        ReportWarning(report, "Error: Board TAP not specified or not unique in CNN file");
        return false;
    }
    if (severalChannels) return false;
    connection.testerTap = model.front().testerTap;
    ReportWarning(report, "Note: Board TAP%d connected to tester TAP%d",
                  static_cast<int>(connection.boardTap), static_cast<int>(connection.testerTap));
    return true;
}

void TakeConnectionFromCnn(SvfSession& session) {
    Connection& connection = session.connection;
    if (connection.cnnModel.empty()) return;
    const TesterChannel& channel = connection.cnnModel.front();
    // Without an explicit TRST_FREE, an init sequence sets up circuitry that
    // a TRST pulse or a RESET would undo.
    const bool initWouldBeUndone =
        channel.trstFree == 0 && !channel.initSeq.empty() && !connection.allowReset;
    if (channel.trstRestricted != 0 || initWouldBeUndone) {
        connection.trstForbidden = true;
        connection.avoidResetState = !connection.allowReset;
    }
    TakeLeadAndTail(channel.irShift.get(), connection.irLead, connection.irTail);
    TakeLeadAndTail(channel.drShift.get(), connection.drLead, connection.drTail);
}

Status TakeConnectionFromStrings(SvfSession& session) {
    Connection& connection = session.connection;
    const ConnectionStrings* strings = connection.connectionStrings;
    if (strings == nullptr) return kOk;
    connection.trstForbidden = (strings->flags & SVF_CONNECTION_NO_TRST) != 0;
    connection.avoidResetState = (strings->flags & SVF_CONNECTION_AVOID_RESET) != 0;

    const char* const texts[] = {strings->irLead, strings->irTail, strings->drLead,
                                 strings->drTail};
    LeadTail* const targets[] = {&connection.irLead, &connection.irTail, &connection.drLead,
                                 &connection.drTail};
    bool anyBits = false;
    for (size_t i = 0; i < connection.packed.size(); ++i) {
        if (texts[i] == nullptr) continue;
        const auto length = static_cast<uint32_t>(std::strlen(texts[i]));
        targets[i]->bitCount = length;
        if (length == 0) continue;
        if (!PackHlString(texts[i], length, connection.packed[i])) {
            ReportError(session.host.report, "Error: Unable to allocate memory");
            return kNoMemory;
        }
        targets[i]->bits = connection.packed[i].data();
        anyBits = true;
    }
    // Nothing to shift and nothing owned: forget the record (its flags stay).
    if (!anyBits) connection.connectionStrings = nullptr;
    return kOk;
}

bool PackHlString(const char* text, uint32_t length, BitVector& packed) {
    BitVector bits;
    if (!TryResize(bits, WordsFor(length))) return false;
    for (uint32_t i = 0; i < length; ++i) {
        if (text[length - 1 - i] == 'H') {
            bits[i / kBitsPerWord] =
                static_cast<uint16_t>(bits[i / kBitsPerWord] | (1u << (i % kBitsPerWord)));
        }
    }
    packed = std::move(bits);
    return true;
}

}  // namespace svf
