// STUB: replaced by the simulator.
#include "veltra_sim.h"
extern "C" {
const VeltraApi* Veltra_GetApi(void) { static VeltraApi api{}; return &api; }
void VeltraSim_Reset(void) {}
int32_t VeltraSim_LoadBoardFile(const char*) { return 1; }
int32_t VeltraSim_LoadBoardText(const char*) { return 1; }
const char* VeltraSim_LastError(void) { return "stub"; }
void VeltraSim_EnableTrace(int32_t) {}
void VeltraSim_ClearTrace(void) {}
uint32_t VeltraSim_TraceCount(void) { return 0; }
const char* VeltraSim_TraceLine(uint32_t) { return ""; }
void VeltraSim_ScriptResult(const char*, uint32_t, uint32_t) {}
void VeltraSim_ClearScripts(void) {}
void VeltraSim_SetErrorText(const char*) {}
void VeltraSim_GetStats(VeltraSimStats* stats) { *stats = VeltraSimStats{}; }
int32_t VeltraSim_DeviceState(uint32_t, uint32_t) { return -1; }
char VeltraSim_PinLevel(uint32_t, uint32_t) { return 'Z'; }
int32_t VeltraSim_PodSignal(uint32_t) { return 0; }
}
