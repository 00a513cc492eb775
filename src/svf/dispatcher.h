// The command dispatcher: plays the SVF text statement by statement.
#pragma once

#include "session.h"
#include "status.h"

namespace svf {

// kOk at the end of the file without failures, kRunFailures with failures,
// else the status of the statement or tokenizer that stopped the run.
Status RunStatements(SvfSession& session);

}  // namespace svf
