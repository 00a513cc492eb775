// The host's result code of every status. The one place where a Status
// becomes an SVF_RESULT_* value; everything that writes SvfReport.resultCode
// goes through StoreResultCode.
#pragma once

#include <cstdint>

#include "status.h"
#include "svfplayer/svf_player.h"

namespace svf {

// The code of `status`. kPioControllerFailed has no code of its own: it
// passes on `controllerAnswer`, the failing PIO call's own answer.
uint32_t ResultCodeOf(Status status, uint32_t controllerAnswer = 0);

// Writes ResultCodeOf(status, controllerAnswer) to `report` when present.
void StoreResultCode(SvfReport* report, Status status, uint32_t controllerAnswer = 0);

}  // namespace svf
