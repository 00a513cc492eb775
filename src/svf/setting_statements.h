// FREQUENCY (and CLOCK), merlo_correction and FLAG.
#pragma once

#include "session.h"
#include "status.h"

namespace svf {

Status ParseFrequency(SvfSession& session);
Status ParseCorrection(SvfSession& session);
Status ParseFlag(SvfSession& session);

}  // namespace svf
