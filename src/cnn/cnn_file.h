// The CNN connection file: reader into the connection model, and the board
// TAP check.
#pragma once

#include <cstdint>

#include "connection_model.h"
#include "svfplayer/svf_player.h"

namespace svf {

// Reads the file at `path`. Returns the channels of a complete model, or an
// empty model after an error, which has been reported through
// ReportCnnMessage; nothing of a partial model is kept.
CnnModel ReadCnnFile(const char* path, const SvfReport* report);

// Releases the whole model (an empty one accepted).
void FreeCnnModel(CnnModel& model);

// True when the model names exactly one board TAP number and it equals
// `requestedTap`.
bool CheckBoardTap(const CnnModel& model, uint32_t requestedTap);

}  // namespace svf
