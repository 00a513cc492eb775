/*
 * veltra_sim.h - the simulated controller library (veltra-sim).
 *
 * Implements the whole VeltraApi table over a simulated JTAG board: bit-level
 * TAP controllers, scan chains of devices, pod pins and a virtual clock. Like
 * every controller library it exports Veltra_GetApi; the VeltraSim_ functions
 * let hosts load a board and let tests script results and read the call trace.
 *
 * Plain C; only C types cross the boundary, so the library can be loaded by a
 * host built with another compiler or runtime.
 */
#ifndef VELTRA_SIM_H
#define VELTRA_SIM_H

#include <stdint.h>

#include "svfplayer/svf_player.h"

#ifdef __cplusplus
extern "C" {
#endif

/* clang-format off */
#if defined(_WIN32)
#  if defined(VELTRA_SIM_BUILDING)
#    define VELTRA_SIM_API __declspec(dllexport)
#  else
#    define VELTRA_SIM_API __declspec(dllimport)
#  endif
#else
#  define VELTRA_SIM_API __attribute__((visibility("default")))
#endif
/* clang-format on */

/* The controller table (the convention every controller library follows). */
VELTRA_SIM_API const VeltraApi *Veltra_GetApi(void);

/* Back to the built-in default board; clears the trace, scripts, statistics,
 * compare results and the virtual clock. */
VELTRA_SIM_API void VeltraSim_Reset(void);

/* Load a board description (TOML). 0 on success; else nonzero and
 * VeltraSim_LastError() tells why. The previous board stays on failure. */
VELTRA_SIM_API int32_t VeltraSim_LoadBoardFile(const char *path);
VELTRA_SIM_API int32_t VeltraSim_LoadBoardText(const char *toml);
VELTRA_SIM_API const char *VeltraSim_LastError(void);

/* Call trace: one line per controller call, "Slot arg arg ... = result"
 * (numbers decimal, bit buffers as SVF-style hex of the bits used, "-" for a
 * null pointer; out-parameters show the value written). On by default. */
VELTRA_SIM_API void VeltraSim_EnableTrace(int32_t enabled);
VELTRA_SIM_API void VeltraSim_ClearTrace(void);
VELTRA_SIM_API uint32_t VeltraSim_TraceCount(void);
VELTRA_SIM_API const char *VeltraSim_TraceLine(uint32_t index);

/* Scripted results: the slot named (e.g. "ShiftDr") returns `result` on its
 * k-th call counted from now (k >= 1), or on every call when k is 0. A
 * scripted call does nothing else. GetErrorText returns the text set here. */
VELTRA_SIM_API void VeltraSim_ScriptResult(const char *slot, uint32_t result, uint32_t onCall);
VELTRA_SIM_API void VeltraSim_ClearScripts(void);
VELTRA_SIM_API void VeltraSim_SetErrorText(const char *text);

/* Statistics since the last reset. */
typedef struct VeltraSimStats {
    uint64_t calls[58];     /* per slot number */
    uint64_t irBits;        /* bits shifted through Shift-IR */
    uint64_t drBits;        /* bits shifted through Shift-DR */
    uint64_t tckCycles;     /* every TCK clock, shifts and moves included */
    uint64_t virtualTimeUs; /* TCK cycles at the set frequency plus WaitTime */
} VeltraSimStats;
VELTRA_SIM_API void VeltraSim_GetStats(VeltraSimStats *stats);

/* Inspection for tests: IEEE 1149.1 state of a device's TAP controller
 * (device 0 is nearest TDI; -1 for no such device; states numbered 0 RESET,
 * 1 IDLE, 2 DRPAUSE, 3 IRPAUSE, 4 DRSELECT, 5 DRCAPTURE, 6 DRSHIFT,
 * 7 DREXIT1, 8 DREXIT2, 9 DRUPDATE, 10 IRSELECT, 11 IRCAPTURE, 12 IRSHIFT,
 * 13 IREXIT1, 14 IREXIT2, 15 IRUPDATE), the level of a pod pin as the board
 * sees it ('H', 'L' or 'Z'), and a pod signal's level (0/1). */
VELTRA_SIM_API int32_t VeltraSim_DeviceState(uint32_t tap, uint32_t device);
VELTRA_SIM_API char VeltraSim_PinLevel(uint32_t tap, uint32_t pin);
VELTRA_SIM_API int32_t VeltraSim_PodSignal(uint32_t signal);

/* The IEEE 1149.1 next-state function: the state after one TCK with the
 * given TMS (0/1) from `state` (numbered as above); -1 for a bad state. */
VELTRA_SIM_API int32_t VeltraSim_NextState(int32_t state, int32_t tms);

/* One raw TCK on a TAP's chain with the given TMS and TDI levels, as the
 * controller would clock it (its idea of the TAP state follows); returns
 * the TDO level seen before the edge, or -1 for a bad TAP. Not traced. */
VELTRA_SIM_API int32_t VeltraSim_Clock(uint32_t tap, int32_t tms, int32_t tdi);

/* The controller library version the board describes (major << 16 | minor;
 * 0x20002 for the default board), for hosts that cannot read it from the
 * library file. */
VELTRA_SIM_API uint32_t VeltraSim_ControllerVersion(void);

/* Pin-level access for hosts that serve the board over a wire (veltra-serve):
 * the TDO level of a TAP's chain now, between clocks (1 high, 0 low; high
 * when the chain is empty or held in TRST); -1 for a bad TAP. Clock with
 * VeltraSim_Clock, drive TRST with the table's SetTrst. */
VELTRA_SIM_API int32_t VeltraSim_Tdo(uint32_t tap);

/* Update log: what each device saw, in order, one line per event:
 * "IR <bits> <hex>" and "DR <bits> <hex>" on Update-IR / Update-DR with the
 * value received (SVF hex, most significant digit first), "RESET" on
 * entering Test-Logic-Reset by TMS, "TRST" when TRST is asserted. Off after
 * VeltraSim_Reset; enabling empties it; loading a board empties it and keeps
 * it on or off. Devices count from 0 nearest TDI; a bad TAP or device has
 * no lines (count 0, line ""). */
VELTRA_SIM_API void VeltraSim_EnableUpdateLog(int32_t enabled);
VELTRA_SIM_API uint32_t VeltraSim_UpdateCount(uint32_t tap, uint32_t device);
VELTRA_SIM_API const char *VeltraSim_UpdateLine(uint32_t tap, uint32_t device, uint32_t index);
/* Writes every device's log to a file, each line prefixed "<tap>.<device> "
 * (e.g. "1.0 DR 32 0123A093"). 0 on success; else nonzero and
 * VeltraSim_LastError() tells why. */
VELTRA_SIM_API int32_t VeltraSim_WriteUpdateLog(const char *path);

/* ---- Failing compare shifts ----------------------------------------------
 * Every compare shift (the Compare slots, and the long shifts when given
 * expected values) whose captured TDO differs from the expected value in a
 * compared bit is counted, and the first VELTRA_SIM_MAX_FAILURES are kept
 * until VeltraSim_Reset, a board load or VeltraSim_ClearFailures. With
 * ganging each failing TAP gives its own record. */
#define VELTRA_SIM_MAX_FAILURES 100
#define VELTRA_SIM_MAX_FAILING_BITS 64 /* positions listed per record */
#define VELTRA_SIM_MAX_SHOWN_BITS 4096 /* longer scans keep no values */

typedef struct VeltraSimFailure {
    uint32_t tap;
    uint32_t instructionRegister; /* 1 IR scan, 0 DR scan */
    uint64_t bitCount;            /* bits of the shift call */
    uint64_t failingBitCount;     /* all failing bits of the call */
    uint64_t failingBitsListed;   /* entries in failingBits */
    const uint64_t *failingBits;  /* positions in the call (0 = first bit out), rising */
    /* SVF-style hex of the call's bits, most significant digit first; empty
     * for a call of more than VELTRA_SIM_MAX_SHOWN_BITS bits. `mask` has a 1
     * for every compared bit, as SVF's MASK. */
    const char *tdi;
    const char *expected;
    const char *mask;
    const char *captured;
} VeltraSimFailure;

/* Records kept, and failing compare shifts seen (kept or not). */
VELTRA_SIM_API uint32_t VeltraSim_FailureCount(void);
VELTRA_SIM_API uint64_t VeltraSim_FailureTotal(void);
/* Fills `failure` with record `index` (0 = first); 0 on success, 1 when
 * there is no such record. Its pointers stay valid until the records are
 * cleared. */
VELTRA_SIM_API int32_t VeltraSim_GetFailure(uint32_t index, VeltraSimFailure *failure);
VELTRA_SIM_API void VeltraSim_ClearFailures(void);

#ifdef __cplusplus
}
#endif

#endif /* VELTRA_SIM_H */
