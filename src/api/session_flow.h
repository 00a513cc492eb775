// The flow of one Svf_Execute: entry checks, session set-up, side files and
// connection, controller preparation, the run, and restoring the controller.
#pragma once

#include <cstdint>

#include "status.h"
#include "svfplayer/svf_player.h"

namespace svf {

// Runs one job; returns SVF_RETURN_PASS, SVF_RETURN_FAIL or SVF_RETURN_ERROR.
int32_t ExecuteJob(const VeltraApi* api, SvfReport* report, SvfInfo* info);

// Last resort when an exception escaped ExecuteJob (the session is already
// released): reports it, stores `code`, returns SVF_RETURN_ERROR.
int32_t AbandonJob(SvfReport* report, Status code);

}  // namespace svf
