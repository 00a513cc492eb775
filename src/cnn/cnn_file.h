// The CNN connection file: reader into the connection model, and the board
// TAP check.
#pragma once

#include <cstdint>

#include "connection_model.h"
#include "svfplayer/svf_player.h"

namespace svf {

// Reads the file at `path`. Returns the first tester channel of a complete
// model, or null after an error, which has been reported through
// ReportCnnMessage; nothing of a partial model is kept.
CnnModel ReadCnnFile(const char* path, const SvfReport* report);

// Releases the whole model (null accepted).
void FreeCnnModel(CnnModel& model);

// True when the model names exactly one board TAP number and it equals
// `requestedTap`.
bool CheckBoardTap(const TesterChannel* model, uint32_t requestedTap);

}  // namespace svf
