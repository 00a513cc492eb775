// A controller built into svfplay: every slot succeeds at once, shifts
// capture zeros and there is no board. Used to measure the player alone and
// to check a file's syntax quickly.
#pragma once

#include "svfplayer/svf_player.h"

namespace svfplay {

// Its information record marks nothing valid: no frequency, no type.
const VeltraApi* NullControllerApi();

}  // namespace svfplay
