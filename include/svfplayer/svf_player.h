/*
 * svf_player.h - public interface of the SVF player library.
 *
 * Plain C (C99 and later, C++). A host loads a controller library, takes its
 * function table (VeltraApi), fills an SvfInfo job record and an SvfReport
 * reporting context, and calls Svf_Execute once per SVF file. Everything runs
 * on the caller's thread inside that call.
 *
 * Every record that crosses the module boundary has a fixed layout: the
 * offsets below hold for 64-bit Windows (LLP64) and 64-bit Linux (LP64) and
 * are pinned by compile-time checks at the end of this file.
 */
#ifndef SVFPLAYER_SVF_PLAYER_H
#define SVFPLAYER_SVF_PLAYER_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* clang-format off */
#if defined(_WIN32)
#  if defined(SVFPLAYER_BUILDING)
#    define SVF_API __declspec(dllexport)
#  else
#    define SVF_API
#  endif
#else
#  if defined(SVFPLAYER_BUILDING)
#    define SVF_API __attribute__((visibility("default")))
#  else
#    define SVF_API
#  endif
#endif
/* clang-format on */

/* ------------------------------------------------------------------------ */
/* Return values of Svf_Execute                                              */
/* ------------------------------------------------------------------------ */

#define SVF_RETURN_PASS 0  /* the SVF file ran to its end without a mismatch */
#define SVF_RETURN_FAIL 1  /* it ran to its end and TDO mismatches were found */
#define SVF_RETURN_ERROR 2 /* the job could not be set up or the run stopped */

/* ------------------------------------------------------------------------ */
/* Result codes written to SvfReport.resultCode                              */
/* ------------------------------------------------------------------------ */

/* The codes and their notes read as one table. */
/* clang-format off */
#define SVF_RESULT_PASS 0               /* run completed, no mismatch */
#define SVF_RESULT_MISMATCH 1           /* controller compare mismatch (return 1), or the run
                                           stopped inside a scan statement / on a refused
                                           FLAG length (return 2) */
#define SVF_RESULT_NOT_OPENED 2         /* SVF, ERROR or PIO mapping file not opened; PIO
                                           not supported by the controller */
#define SVF_RESULT_PIO_MAP_UNREADABLE 3 /* PIO mapping file holds no word */
#define SVF_RESULT_WRITE_FAILED 4       /* the ERROR file could not be written */
#define SVF_RESULT_END_OF_FILE 5        /* the SVF text ended inside a statement */
#define SVF_RESULT_SYNTAX 10            /* syntax error, unknown command, line too long */
#define SVF_RESULT_IR_LENGTH 11         /* IR length varies on an indirect connection */
#define SVF_RESULT_GANGING 13           /* bad ganging string, ganging refused, TDIO step */
#define SVF_RESULT_STATE 14             /* illegal state transition */
#define SVF_RESULT_CONNECTION_BITS 16   /* connection bits undefined */
#define SVF_RESULT_INTERNAL 17          /* internal error */
#define SVF_RESULT_CONTROLLER 31        /* a controller call failed */
#define SVF_RESULT_ABORTED 32           /* the host asked to abort */
#define SVF_RESULT_CNN 40               /* the CNN file or its connection is not usable */
#define SVF_RESULT_BAD_JOB 52           /* bad job record; PIO needs a newer controller */
#define SVF_RESULT_NO_MEMORY 53         /* memory exhausted */
#define SVF_RESULT_FAILURES 100         /* run completed, the player counted mismatches */
#define SVF_RESULT_PIO_TOO_MANY_PINS 101
#define SVF_RESULT_PIO_PIN_DEFINED 102
#define SVF_RESULT_PIO_NAME_DEFINED 103
#define SVF_RESULT_PIO_MAP_SYNTAX 104
#define SVF_RESULT_PIO_DRIVE_ON_READ 105
#define SVF_RESULT_PIO_READ_ON_DRIVE 106
#define SVF_RESULT_PIO_PIN_IN_USE 108
/* clang-format on */

/* ------------------------------------------------------------------------ */
/* SvfInfo.flags option bits (bits not listed are ignored)                    */
/* ------------------------------------------------------------------------ */

#define SVF_FLAG_ALLOW_RESET 0x4u              /* keep RESET and TRST under a CNN connection */
#define SVF_FLAG_PIO 0x8u                      /* PIO enabled (controller library 1.7+) */
#define SVF_FLAG_KEEP_MAPPED_PINS 0x10u        /* mapped pins win over controller-used I/O pins */
#define SVF_FLAG_FIXED_FREQUENCY 0x40u         /* FREQUENCY statements change nothing */
#define SVF_FLAG_TRST_AT_START 0x100u          /* pulse TRST and reset before the init sequence */
#define SVF_FLAG_TRST_AT_END 0x200u            /* pulse TRST after a completed run */
#define SVF_FLAG_RESTORE_FREQUENCY 0x400u      /* restore the controller's start frequency */
#define SVF_FLAG_KEEP_FREQUENCY 0x800u         /* keep the controller's own frequency at start */
#define SVF_FLAG_LINES_IN_MEMORY 0x4000000u    /* svfSource is a null-terminated line array */
#define SVF_FLAG_CONNECTION_STRINGS 0x8000000u /* cnnFile points to ConnectionStrings */
#define SVF_FLAG_FREQUENCY_NOTE 0x10000000u    /* note once when a FREQUENCY is limited */
#define SVF_FLAG_LONG_DR_SHIFTS 0x20000000u    /* allow single-call long DR shifts */
#define SVF_FLAG_NUMBERED_ERRORS 0x40000000u   /* ERROR file in the command-numbered form */
#define SVF_FLAG_NO_BUFFERING 0x80000000u      /* never call SetBuffering */

/* Controller TAP state codes (SetTapState, SetStopState, SvfInfo.finalState). */
#define SVF_STATE_CODE_RESET 1
#define SVF_STATE_CODE_IDLE 2
#define SVF_STATE_CODE_DRPAUSE 3
#define SVF_STATE_CODE_IRPAUSE 4

/* SvfInfo.startState value meaning "the TAP is already in Run-Test/Idle". */
#define SVF_START_STATE_IDLE 2

/* SvfMessage.kind values. */
#define SVF_MESSAGE_ERROR 0
#define SVF_MESSAGE_WARNING 1
#define SVF_MESSAGE_LINE 3
#define SVF_MESSAGE_NOTE 4

/* SvfMessage.level values, compared against SvfReport.verbosity. */
#define SVF_LEVEL_ERROR 1
#define SVF_LEVEL_WARNING 2
#define SVF_LEVEL_NOTE 3

/* ------------------------------------------------------------------------ */
/* Records                                                                   */
/* ------------------------------------------------------------------------ */

/* One message handed to SvfReport.messageCallback. It lives on the player's
 * stack for the duration of the callback: copy what you want to keep. */
typedef struct SvfMessage {
    uint32_t kind;      /*  0: SVF_MESSAGE_* */
    uint32_t level;     /*  4: SVF_LEVEL_* */
    uint32_t sequence;  /*  8: process-wide message number, never reset */
    uint32_t reserved0; /* 12 */
    const char *text;   /* 16: zero-terminated text */
    uint32_t line;      /* 24: line number of a progress record, else 0 */
    uint32_t reserved1; /* 28 */
} SvfMessage;

/* Called for every message that passes the verbosity filter. */
typedef void (*SvfMessageCallback)(void *context, const SvfMessage *message);

/* Polled while the SVF text is read; returning SVF_ABORT_REQUEST ends the run. */
typedef int32_t (*SvfAbortCallback)(void *context);
#define SVF_ABORT_REQUEST 2

/* The host's reporting context. The player writes `started` and `resultCode`
 * only; the host fields are never touched. */
typedef struct SvfReport {
    uint8_t hostFields0[16];            /*  0: not touched by the player */
    SvfMessageCallback messageCallback; /* 16: null = no messages */
    SvfAbortCallback abortCallback;     /* 24: null = never polled */
    uint8_t hostFields1[8];             /* 32: not touched by the player */
    void *messageContext;               /* 40: first argument of messageCallback */
    void *abortContext;                 /* 48: argument of abortCallback */
    int32_t verbosity;                  /* 56: deliver messages of level <= verbosity */
    uint32_t started;                   /* 60: out: 1 once the job record was seen */
    uint32_t resultCode;                /* 64: out: SVF_RESULT_* */
} SvfReport;

/* Connection given in the job record instead of a CNN file
 * (SVF_FLAG_CONNECTION_STRINGS). Each string is null or holds 'H' and 'L'
 * characters; the last character is the first bit shifted. */
typedef struct ConnectionStrings {
    uint32_t flags;     /*  0: SVF_CONNECTION_* */
    const char *irLead; /*  8: bits ahead of every IR scan */
    const char *irTail; /* 16: bits after every IR scan */
    const char *drLead; /* 24: bits ahead of every DR scan */
    const char *drTail; /* 32: bits after every DR scan */
} ConnectionStrings;

#define SVF_CONNECTION_NO_TRST 0x1u     /* TRST statements are not allowed */
#define SVF_CONNECTION_AVOID_RESET 0x2u /* RESET end states become IDLE */

/* The job record. Owned by the host; the player writes back frequencyKhz and
 * gangFailMask only. */
typedef struct SvfInfo {
    uint32_t flags;             /*  0: SVF_FLAG_* */
    const void *svfSource;      /*  8: SVF path, or (SVF_FLAG_LINES_IN_MEMORY) a
                                       null-terminated array of line pointers */
    const char *errorFile;      /* 16: ERROR file path or null; deleted on entry */
    const void *cnnFile;        /* 24: CNN path, or (SVF_FLAG_CONNECTION_STRINGS)
                                       a ConnectionStrings record; or null */
    const char *pioMapFile;     /* 32: PIO mapping file path or null */
    uint32_t totalBypassLength; /* 40: bypass bits of the whole chain, 0 = none */
    uint32_t totalIrLength;     /* 44: IR bits of the whole chain, 0 = not given */
    uint32_t frequencyKhz;      /* 48: in: start frequency and limit; out: last set */
    uint32_t tap;               /* 52: tester TAP (board TAP with a CNN file) */
    uint32_t startState;        /* 56: SVF_START_STATE_IDLE = no reset at start */
    uint32_t finalState;        /* 60: SVF_STATE_CODE_* to end in, 0 = as the file ends */
    const char *ganging;        /* 64: null or digits '1'..'9' naming ganged TAPs */
    uint32_t gangFailMask;      /* 72: out: failing TAPs of a ganged run */
} SvfInfo;

/* ------------------------------------------------------------------------ */
/* The controller function table                                             */
/* ------------------------------------------------------------------------ */

/*
 * The controller library's table of function pointers; slot n is the n-th
 * pointer. TAPs count from 1. Bit buffers are arrays of 16-bit words: bit i is
 * bit (i % 16) of word i / 16, bit 0 is shifted first. Unless stated
 * otherwise every slot returns VELTRA_OK, VELTRA_FAILED (text from
 * GetErrorText) or VELTRA_NOT_SUPPORTED. The player treats a null slot as
 * VELTRA_NOT_SUPPORTED.
 *
 * Shifts: at most 65535 bits a call (except the Long forms). The plain forms
 * enter Shift-IR/DR through Capture, or resume from the register's Pause state
 * through Exit2 without capture, shift the bits (the last one with TMS=1) and
 * end in the stop state set by SetStopState; the ToPause forms end in
 * Pause-IR/DR. `tdo` may be null (nothing captured).
 *
 * Compare forms additionally compare TDO against `expected` where `mask` has
 * a 0 bit (mask 1 = ignore; null mask = compare every bit; null expected =
 * compare nothing) and accumulate a per-TAP failure mask for GetCompareResult.
 */
#define VELTRA_OK 0u
#define VELTRA_FAILED 1u
#define VELTRA_NOT_SUPPORTED 2u
#define VELTRA_DEPTH_REFUSED 0xFFFFFFFFu /* SetBuffering: depth not accepted */
#define VELTRA_ALL_TAPS 0xFFFFFFFFu      /* SetFlagLength: MERLO correction switch */
#define VELTRA_TIME_MICROSECONDS 2u      /* WaitTime unit */
#define VELTRA_INFO_WORDS 32             /* words of the information record */

/* Information record validity bits (word 0). */
#define VELTRA_INFO_TYPE_VALID 0x1u           /* word 2 is the controller type */
#define VELTRA_INFO_FREQUENCY_VALID 0x10000u  /* word 22 is the TCK frequency in kHz */
#define VELTRA_INFO_LONG_SHIFT_VALID 0x20000u /* words 23, 24 bit 1: long shifts work */
#define VELTRA_INFO_WORD_TYPE 2
#define VELTRA_INFO_WORD_FREQUENCY 22
#define VELTRA_INFO_WORD_LONG_SHIFT_A 23
#define VELTRA_INFO_WORD_LONG_SHIFT_B 24
#define VELTRA_INFO_LONG_SHIFT_BIT 0x2u
#define VELTRA_TYPE_TCK_IDLE 6u /* controller type with TCK idle state handling */

typedef const char *(*VeltraGetErrorText)(void);
typedef uint32_t (*VeltraTapCall)(uint32_t tap);
typedef uint32_t (*VeltraTapStateCall)(uint32_t tap, uint32_t stateCode);
typedef uint32_t (*VeltraShift)(uint32_t tap, const uint16_t *tdi, uint32_t bitCount,
                                uint16_t *tdo);
typedef uint32_t (*VeltraShiftCompare)(uint32_t tap, const uint16_t *tdi, uint32_t bitCount,
                                       uint16_t *tdo, const uint16_t *expected,
                                       const uint16_t *mask);
typedef uint32_t (*VeltraValueCall)(uint32_t value);
typedef uint32_t (*VeltraWaitTime)(uint32_t amount, uint32_t unit);
typedef uint32_t (*VeltraTapValueCall)(uint32_t tap, uint32_t value);
typedef uint32_t (*VeltraGetPodInfo)(uint32_t tap, uint32_t *pinMask, uint32_t *levelMask);
typedef uint32_t (*VeltraGetCompareResult)(uint32_t *failMask);
typedef uint32_t (*VeltraAccessPioPins)(uint32_t tap, uint32_t usedMask, uint32_t driveMask,
                                        uint32_t highMask, uint32_t *readBack);
typedef uint32_t (*VeltraGetControllerInfo)(const uint32_t **record);
typedef uint32_t (*VeltraSetPodSignal)(uint32_t tap, uint32_t signal, uint32_t level);
typedef void (*VeltraReserved)(void);

typedef struct VeltraApi {
    /* Slots 0-5, 7, 15-17, 21, 22, 26, 28-30, 32, 33, 35-38, 44, 50, 51, 53,
     * 55 and 56 are never called by the player. Each contract below says when
     * the player calls the slot, what the arguments hold and what the result
     * means to it. `tap` is always a tester TAP, 1 to 32; a state code is one
     * of SVF_STATE_CODE_*. A null slot counts as VELTRA_NOT_SUPPORTED. */
    VeltraReserved reserved0; /*  0 */
    VeltraReserved reserved1; /*  1 */
    VeltraReserved reserved2; /*  2 */
    VeltraReserved reserved3; /*  3 */
    VeltraReserved reserved4; /*  4 */
    VeltraReserved reserved5; /*  5 */
    /* 6: called right after another slot answered VELTRA_FAILED; the text
     * goes into that failure's error message. Null or "" is shown as "". */
    VeltraGetErrorText GetErrorText;
    VeltraReserved reserved7; /*  7 */
    /* 8: move `tap` to Test-Logic-Reset. At start unless the TAP is already in
     * Run-Test/Idle (each ganged TAP in rising order), after PulseTrst with
     * SVF_FLAG_TRST_AT_START, and after a run that stopped on an error
     * (result ignored there). Other than VELTRA_OK at start ends the job. */
    VeltraTapCall ResetTap;
    /* 9: pulse TRST of `tap`: with SVF_FLAG_TRST_AT_START and _AT_END, and for
     * TRST ON when SetTrst is missing. Not VELTRA_OK: reported; ends the job
     * (at start) or the run (TRST ON); at the end only reported. */
    VeltraTapCall PulseTrst;
    /* 10: move `tap` to a stable state: each stable state of a STATE path, the
     * end of a RUNTEST, Run-Test/Idle after every step of a connection
     * sequence, and the final state after a completed run (result ignored).
     * Not VELTRA_OK ends the run (reported). */
    VeltraTapStateCall SetTapState;
    /* 11-14: shift `bitCount` bits (1 to 65535) of `tdi` through DR or IR of
     * `tap` while the player compares. `tdo` (ceil(bitCount / 16) words)
     * receives the captured bits, or is null when nothing is compared. The
     * plain forms end in the stop state (SetStopState), the ToPause forms in
     * Pause-DR/IR; a longer scan is several calls, all but the last ToPause.
     * Not VELTRA_OK ends the run (reported with the text). */
    VeltraShift ShiftDr;        /* 11 */
    VeltraShift ShiftIr;        /* 12 */
    VeltraShift ShiftDrToPause; /* 13 */
    VeltraShift ShiftIrToPause; /* 14 */
    VeltraReserved reserved15;  /* 15 */
    VeltraReserved reserved16;  /* 16 */
    VeltraReserved reserved17;  /* 17 */
    /* 18: clock `count` TCKs (1 to 0xFFFFFFFF) in the current state: the TCK
     * part of RUNTEST (not VELTRA_OK ends the run), and 1 after the TCK idle
     * state was restored at the end (result ignored). */
    VeltraValueCall WaitTck;
    /* 19: the state code that following plain shifts end in. Called before a
     * scan whose ENDIR/ENDDR state differs from the last one accepted, and
     * with SVF_STATE_CODE_IDLE after a completed run (result ignored). Not
     * VELTRA_OK is reported; the scan still runs. */
    VeltraValueCall SetStopState;
    /* 20: TCK frequency in kHz, never above the job's limit: at start (unless
     * SVF_FLAG_KEEP_FREQUENCY, or the controller reports that frequency
     * already), for FREQUENCY statements, and back to the start frequency
     * with SVF_FLAG_RESTORE_FREQUENCY (result ignored). VELTRA_FAILED ends the
     * job or run; VELTRA_NOT_SUPPORTED is accepted silently. */
    VeltraValueCall SetFrequency;
    VeltraReserved reserved21; /* 21 */
    VeltraReserved reserved22; /* 22 */
    /* 23: TCK idle level handling, only for controllers of type
     * VELTRA_TYPE_TCK_IDLE or without a type: 1 at start (VELTRA_FAILED ends
     * the job), 2 when the job ends (result ignored). */
    VeltraValueCall SetTckIdleState;
    /* 24: wait `amount` microseconds (unit VELTRA_TIME_MICROSECONDS): the part
     * of a RUNTEST minimum time that its TCKs did not cover. Not VELTRA_OK
     * ends the run. */
    VeltraWaitTime WaitTime;
    /* 25: command buffering, unless SVF_FLAG_NO_BUFFERING: depth 128 at start
     * and, when that answers VELTRA_DEPTH_REFUSED, depth 1 (other results
     * ignored); 0 after a completed run flushes (VELTRA_FAILED reported). */
    VeltraValueCall SetBuffering;
    VeltraReserved reserved26; /* 26 */
    /* 27: FLAG statement: `tap`, length 0 to 0xFFFF (-1 arrives as 0xFFFF);
     * VELTRA_FAILED ends the run, other results are accepted. With
     * VELTRA_ALL_TAPS: the MERLO correction, 2 on and 1 off, for
     * merlo_correction (VELTRA_FAILED ends the run), and 2 again at the end
     * of a file that switched it off (result ignored). */
    VeltraTapValueCall SetFlagLength;
    VeltraReserved reserved28; /* 28 */
    VeltraReserved reserved29; /* 29 */
    VeltraReserved reserved30; /* 30 */
    /* 31: by PIOMAP, for TAP 1 to 4: `pinMask` (bit p-1 = I/O pin p, 1 to 4)
     * receives the pins the controller itself uses on that TAP, `levelMask`
     * their levels (set = high). Both point to 0 before the call, never null.
     * Any result but VELTRA_OK, or an empty mask, means "none". */
    VeltraGetPodInfo GetPodInfo;
    VeltraReserved reserved32; /* 32 */
    VeltraReserved reserved33; /* 33 */
    /* 34: at start with SvfInfo.startState SVF_START_STATE_IDLE: tell the
     * controller `tap` is already in SVF_STATE_CODE_IDLE (each ganged TAP).
     * Result ignored. */
    VeltraTapStateCall SetStartState;
    VeltraReserved reserved35; /* 35 */
    VeltraReserved reserved36; /* 36 */
    VeltraReserved reserved37; /* 37 */
    VeltraReserved reserved38; /* 38 */
    /* 39: ganging: at start `tap` and the mask of ganged TAPs (bit n-1 = TAP
     * n); VELTRA_FAILED ends the job with the text, any other nonzero result
     * as "not supported". Mask 0 switches ganging off when the job ends
     * (result ignored). */
    VeltraTapValueCall SetGanging;
    /* 40-43: as 11-14, for the controller's own compare (ganging, or no ERROR
     * file). `expected` and `mask` hold ceil(bitCount / 16) words; a mask bit
     * 1 means "ignore this bit", a null mask "compare every bit", a null
     * `expected` "compare nothing". `tdo` is null. Mismatches are collected
     * for GetCompareResult, not returned; not VELTRA_OK ends the run. */
    VeltraShiftCompare ShiftDrCompare;        /* 40 */
    VeltraShiftCompare ShiftIrCompare;        /* 41 */
    VeltraShiftCompare ShiftDrCompareToPause; /* 42 */
    VeltraShiftCompare ShiftIrCompareToPause; /* 43 */
    VeltraReserved reserved44;                /* 44 */
    /* 45: after a completed run with the controller's compare: `failMask`
     * (preset to 0, never null) receives the failing TAPs (bit n-1 = TAP n).
     * Nonzero makes the verdict FAIL (and SvfInfo.gangFailMask with
     * ganging). Result ignored. */
    VeltraGetCompareResult GetCompareResult;
    /* 46: 1 at start when the controller is to compare (ganging, or no ERROR
     * file); VELTRA_NOT_SUPPORTED makes the player compare itself, other
     * results are ignored. 0 after GetCompareResult reported a mismatch:
     * compare off, which also clears the failure record for the next job
     * (result ignored). */
    VeltraValueCall SetCompareMode;
    /* 47: a PIO statement, for each TAP 1 to 4 with mapped pins: `usedMask`
     * the mapped pins, `driveMask` those driven, `highMask` those driven high
     * (bit p-1 = pin p). `readBack` (never null) receives the levels, set =
     * high. VELTRA_NOT_SUPPORTED and any other nonzero result end the run;
     * the latter becomes the job's result code. */
    VeltraAccessPioPins AccessPioPins;
    /* 48: `record` (never null) receives a pointer to VELTRA_INFO_WORDS words
     * (see VELTRA_INFO_*), read while the job is set up and when a RUNTEST
     * needs the TCK frequency. Not VELTRA_OK, or a null record: no info. */
    VeltraGetControllerInfo GetControllerInfo;
    /* 49: a PIO statement drives a pod signal: `tap`, signal 0 USER0, 1 USER1,
     * 2 VPP_E, level 1 high or 0 low. VELTRA_NOT_SUPPORTED and any other
     * nonzero result end the run; the latter becomes the job's result code. */
    VeltraSetPodSignal SetPodSignal;
    VeltraReserved reserved50; /* 50 */
    VeltraReserved reserved51; /* 51 */
    /* 52, 54: as 40 and 42 with any bit count (above 65535 in one call), used
     * for DR with SVF_FLAG_LONG_DR_SHIFTS or the controller's long-shift info
     * (library 1.9 or later). `tdo` receives the capture when the player
     * compares, else null; `expected` and `mask` may be null. */
    VeltraShiftCompare ShiftDrLong;        /* 52 */
    VeltraReserved reserved53;             /* 53 */
    VeltraShiftCompare ShiftDrLongToPause; /* 54 */
    VeltraReserved reserved55;             /* 55 */
    VeltraReserved reserved56;             /* 56 */
    /* 57: TRST ON (level 0, asserted) and OFF (level 1, released) of `tap`,
     * from library version 2.2 on. For ON, VELTRA_NOT_SUPPORTED falls back
     * to PulseTrst; for OFF it is accepted. VELTRA_FAILED ends the run. */
    VeltraTapValueCall SetTrst;
} VeltraApi;

/* A controller library exports this function (C linkage, this exact name)
 * and returns its table; the table stays valid while the library is loaded. */
typedef const VeltraApi *(*VeltraGetApiFunction)(void);
#define VELTRA_GET_API_SYMBOL "Veltra_GetApi"

/* ------------------------------------------------------------------------ */
/* Exported functions                                                        */
/* ------------------------------------------------------------------------ */

/* No effect; return 0. Svf_Exit is the same function under a second name. */
SVF_API int32_t Svf_Init(void);
SVF_API int32_t Svf_Exit(void);

/*
 * Plays one SVF job. `api` is the controller table, `report` the host's
 * reporting context (may be null: then no message and no code), `info` the
 * job record. Returns SVF_RETURN_PASS, SVF_RETURN_FAIL or SVF_RETURN_ERROR and
 * stores the result code in report->resultCode. Never throws; every file and
 * buffer of the run is released before it returns.
 */
SVF_API int32_t Svf_Execute(const VeltraApi *api, SvfReport *report, SvfInfo *info);

typedef int32_t (*SvfInitFunction)(void);
typedef int32_t (*SvfExecuteFunction)(const VeltraApi *api, SvfReport *report, SvfInfo *info);

/* ------------------------------------------------------------------------ */
/* Layout checks                                                             */
/* ------------------------------------------------------------------------ */

#define SVF_LAYOUT_CHECK(name, condition) typedef char svf_layout_check_##name[(condition) ? 1 : -1]
#define SVF_SLOT_OFFSET(n) ((size_t)(n) * sizeof(void *))

SVF_LAYOUT_CHECK(message_kind, offsetof(SvfMessage, kind) == 0);
SVF_LAYOUT_CHECK(message_level, offsetof(SvfMessage, level) == 4);
SVF_LAYOUT_CHECK(message_sequence, offsetof(SvfMessage, sequence) == 8);
SVF_LAYOUT_CHECK(message_text, offsetof(SvfMessage, text) == 16);
SVF_LAYOUT_CHECK(message_line, offsetof(SvfMessage, line) == 24);
SVF_LAYOUT_CHECK(message_size, sizeof(SvfMessage) == 32);

SVF_LAYOUT_CHECK(report_message_callback, offsetof(SvfReport, messageCallback) == 16);
SVF_LAYOUT_CHECK(report_abort_callback, offsetof(SvfReport, abortCallback) == 24);
SVF_LAYOUT_CHECK(report_message_context, offsetof(SvfReport, messageContext) == 40);
SVF_LAYOUT_CHECK(report_abort_context, offsetof(SvfReport, abortContext) == 48);
SVF_LAYOUT_CHECK(report_verbosity, offsetof(SvfReport, verbosity) == 56);
SVF_LAYOUT_CHECK(report_started, offsetof(SvfReport, started) == 60);
SVF_LAYOUT_CHECK(report_result_code, offsetof(SvfReport, resultCode) == 64);

SVF_LAYOUT_CHECK(connection_flags, offsetof(ConnectionStrings, flags) == 0);
SVF_LAYOUT_CHECK(connection_ir_lead, offsetof(ConnectionStrings, irLead) == 8);
SVF_LAYOUT_CHECK(connection_ir_tail, offsetof(ConnectionStrings, irTail) == 16);
SVF_LAYOUT_CHECK(connection_dr_lead, offsetof(ConnectionStrings, drLead) == 24);
SVF_LAYOUT_CHECK(connection_dr_tail, offsetof(ConnectionStrings, drTail) == 32);

SVF_LAYOUT_CHECK(info_flags, offsetof(SvfInfo, flags) == 0);
SVF_LAYOUT_CHECK(info_svf_source, offsetof(SvfInfo, svfSource) == 8);
SVF_LAYOUT_CHECK(info_error_file, offsetof(SvfInfo, errorFile) == 16);
SVF_LAYOUT_CHECK(info_cnn_file, offsetof(SvfInfo, cnnFile) == 24);
SVF_LAYOUT_CHECK(info_pio_map_file, offsetof(SvfInfo, pioMapFile) == 32);
SVF_LAYOUT_CHECK(info_total_bypass_length, offsetof(SvfInfo, totalBypassLength) == 40);
SVF_LAYOUT_CHECK(info_total_ir_length, offsetof(SvfInfo, totalIrLength) == 44);
SVF_LAYOUT_CHECK(info_frequency_khz, offsetof(SvfInfo, frequencyKhz) == 48);
SVF_LAYOUT_CHECK(info_tap, offsetof(SvfInfo, tap) == 52);
SVF_LAYOUT_CHECK(info_start_state, offsetof(SvfInfo, startState) == 56);
SVF_LAYOUT_CHECK(info_final_state, offsetof(SvfInfo, finalState) == 60);
SVF_LAYOUT_CHECK(info_ganging, offsetof(SvfInfo, ganging) == 64);
SVF_LAYOUT_CHECK(info_gang_fail_mask, offsetof(SvfInfo, gangFailMask) == 72);

SVF_LAYOUT_CHECK(api_get_error_text, offsetof(VeltraApi, GetErrorText) == SVF_SLOT_OFFSET(6));
SVF_LAYOUT_CHECK(api_reset_tap, offsetof(VeltraApi, ResetTap) == SVF_SLOT_OFFSET(8));
SVF_LAYOUT_CHECK(api_pulse_trst, offsetof(VeltraApi, PulseTrst) == SVF_SLOT_OFFSET(9));
SVF_LAYOUT_CHECK(api_set_tap_state, offsetof(VeltraApi, SetTapState) == SVF_SLOT_OFFSET(10));
SVF_LAYOUT_CHECK(api_shift_dr, offsetof(VeltraApi, ShiftDr) == SVF_SLOT_OFFSET(11));
SVF_LAYOUT_CHECK(api_shift_ir, offsetof(VeltraApi, ShiftIr) == SVF_SLOT_OFFSET(12));
SVF_LAYOUT_CHECK(api_shift_dr_pause, offsetof(VeltraApi, ShiftDrToPause) == SVF_SLOT_OFFSET(13));
SVF_LAYOUT_CHECK(api_shift_ir_pause, offsetof(VeltraApi, ShiftIrToPause) == SVF_SLOT_OFFSET(14));
SVF_LAYOUT_CHECK(api_wait_tck, offsetof(VeltraApi, WaitTck) == SVF_SLOT_OFFSET(18));
SVF_LAYOUT_CHECK(api_set_stop_state, offsetof(VeltraApi, SetStopState) == SVF_SLOT_OFFSET(19));
SVF_LAYOUT_CHECK(api_set_frequency, offsetof(VeltraApi, SetFrequency) == SVF_SLOT_OFFSET(20));
SVF_LAYOUT_CHECK(api_set_tck_idle, offsetof(VeltraApi, SetTckIdleState) == SVF_SLOT_OFFSET(23));
SVF_LAYOUT_CHECK(api_wait_time, offsetof(VeltraApi, WaitTime) == SVF_SLOT_OFFSET(24));
SVF_LAYOUT_CHECK(api_set_buffering, offsetof(VeltraApi, SetBuffering) == SVF_SLOT_OFFSET(25));
SVF_LAYOUT_CHECK(api_set_flag_length, offsetof(VeltraApi, SetFlagLength) == SVF_SLOT_OFFSET(27));
SVF_LAYOUT_CHECK(api_get_pod_info, offsetof(VeltraApi, GetPodInfo) == SVF_SLOT_OFFSET(31));
SVF_LAYOUT_CHECK(api_set_start_state, offsetof(VeltraApi, SetStartState) == SVF_SLOT_OFFSET(34));
SVF_LAYOUT_CHECK(api_set_ganging, offsetof(VeltraApi, SetGanging) == SVF_SLOT_OFFSET(39));
SVF_LAYOUT_CHECK(api_shift_dr_compare, offsetof(VeltraApi, ShiftDrCompare) == SVF_SLOT_OFFSET(40));
SVF_LAYOUT_CHECK(api_shift_ir_compare, offsetof(VeltraApi, ShiftIrCompare) == SVF_SLOT_OFFSET(41));
SVF_LAYOUT_CHECK(api_shift_dr_compare_pause,
                 offsetof(VeltraApi, ShiftDrCompareToPause) == SVF_SLOT_OFFSET(42));
SVF_LAYOUT_CHECK(api_shift_ir_compare_pause,
                 offsetof(VeltraApi, ShiftIrCompareToPause) == SVF_SLOT_OFFSET(43));
SVF_LAYOUT_CHECK(api_get_compare_result,
                 offsetof(VeltraApi, GetCompareResult) == SVF_SLOT_OFFSET(45));
SVF_LAYOUT_CHECK(api_set_compare_mode, offsetof(VeltraApi, SetCompareMode) == SVF_SLOT_OFFSET(46));
SVF_LAYOUT_CHECK(api_access_pio_pins, offsetof(VeltraApi, AccessPioPins) == SVF_SLOT_OFFSET(47));
SVF_LAYOUT_CHECK(api_get_controller_info,
                 offsetof(VeltraApi, GetControllerInfo) == SVF_SLOT_OFFSET(48));
SVF_LAYOUT_CHECK(api_set_pod_signal, offsetof(VeltraApi, SetPodSignal) == SVF_SLOT_OFFSET(49));
SVF_LAYOUT_CHECK(api_shift_dr_long, offsetof(VeltraApi, ShiftDrLong) == SVF_SLOT_OFFSET(52));
SVF_LAYOUT_CHECK(api_shift_dr_long_pause,
                 offsetof(VeltraApi, ShiftDrLongToPause) == SVF_SLOT_OFFSET(54));
SVF_LAYOUT_CHECK(api_set_trst, offsetof(VeltraApi, SetTrst) == SVF_SLOT_OFFSET(57));
SVF_LAYOUT_CHECK(api_size, sizeof(VeltraApi) == SVF_SLOT_OFFSET(58));

/* Version of this header and of the library built with it. The major
 * number changes only when the interface does (it is the soname's number,
 * libsvfplayer.so.MAJOR); the build reads the numbers from here. */
#define SVFPLAYER_VERSION_MAJOR 1
#define SVFPLAYER_VERSION_MINOR 0
#define SVFPLAYER_VERSION_PATCH 0
#define SVFPLAYER_VERSION_STRING "1.0.0"
/* One number for comparisons: 10000 * major + 100 * minor + patch. */
#define SVFPLAYER_VERSION \
    (SVFPLAYER_VERSION_MAJOR * 10000 + SVFPLAYER_VERSION_MINOR * 100 + SVFPLAYER_VERSION_PATCH)

#ifdef __cplusplus
}
#endif

#endif /* SVFPLAYER_SVF_PLAYER_H */
