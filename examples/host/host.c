/*
 * A minimal host: plays one SVF file on veltra-sim, the simulated controller
 * linked into this program, and prints the player's messages and the verdict.
 *
 *   svfplayer_host FILE.svf [BOARD.toml [ERRORFILE]]
 *
 * Exits with Svf_Execute's return value: 0 PASS, 1 FAIL, 2 ERROR. A host for
 * a real controller takes the table from that controller library's
 * Veltra_GetApi instead; everything else stays the same.
 */
#include <stdio.h>
#include <string.h>

#include <svfplayer/svf_player.h>
#include <veltra_sim.h>

/* Messages live only during the callback: print (or copy) them there. */
static void OnMessage(void* context, const SvfMessage* message) {
    FILE* out = (FILE*)context;
    if (message->kind == SVF_MESSAGE_LINE) return; /* progress marks */
    fprintf(out, "%s\n", message->text);
}

static const char* Verdict(int32_t result) {
    return result == SVF_RETURN_PASS ? "PASS" : result == SVF_RETURN_FAIL ? "FAIL" : "ERROR";
}

int main(int argc, char** argv) {
    SvfReport report;
    SvfInfo info;
    int32_t result;

    if (argc < 2 || argc > 4) {
        fprintf(stderr, "usage: %s FILE.svf [BOARD.toml [ERRORFILE]]\n", argv[0]);
        return SVF_RETURN_ERROR;
    }
    if (argc > 2 && VeltraSim_LoadBoardFile(argv[2]) != 0) {
        fprintf(stderr, "cannot load board '%s': %s\n", argv[2], VeltraSim_LastError());
        return SVF_RETURN_ERROR;
    }

    /* Both records start zeroed: unused fields and flags must be 0. */
    memset(&report, 0, sizeof report);
    report.messageCallback = OnMessage;
    report.messageContext = stdout;
    report.verbosity = SVF_LEVEL_NOTE; /* errors, warnings and notes */

    memset(&info, 0, sizeof info);
    info.svfSource = argv[1];
    info.errorFile = argc > 3 ? argv[3] : NULL; /* with it the player compares TDO */
    info.tap = 1;
    /* Keep the controller's own TCK frequency; otherwise frequencyKhz is the
     * start frequency and the limit for FREQUENCY statements, and 0 would be
     * asked of the controller. */
    info.flags = SVF_FLAG_KEEP_FREQUENCY;

    result = Svf_Execute(Veltra_GetApi(), &report, &info);
    printf("Result: %s (result code %u), player %s\n", Verdict(result), (unsigned)report.resultCode,
           SVFPLAYER_VERSION_STRING);
    return result;
}
