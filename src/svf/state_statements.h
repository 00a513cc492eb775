// TRST, ENDIR, ENDDR, STATE and RUNTEST, and the SVF number syntax.
#pragma once

#include <string_view>

#include "session.h"
#include "status.h"

namespace svf {

Status ParseTrst(SvfSession& session);
Status ParseEndState(int code, SvfSession& session);
Status ParseState(SvfSession& session);
Status ParseRunTest(SvfSession& session);

// True when the whole text is an SVF number (its value in `value`).
// The value is (integer part + fraction) x 10^exponent; a zero mantissa is 0
// whatever the exponent, and a huge exponent gives infinity.
bool ParseSvfNumber(std::string_view text, double& value);

}  // namespace svf
