/* A C99 host that includes only the public header and loads the shipped
   player library at run time, as production hosts do: both init names are
   one function, the entry checks of Svf_Execute, a whole job on its own table. */
#include <stdio.h>
#include <string.h>

#include "svfplayer/svf_player.h"

#if defined(_WIN32)
#include <windows.h>
typedef HMODULE Library;
static Library OpenLibrary(const char* name) { return LoadLibraryA(name); }
static void* Symbol(Library library, const char* name) {
    FARPROC address = GetProcAddress(library, name);
    void* pointer;
    memcpy(&pointer, &address, sizeof pointer);
    return pointer;
}
#else
#include <dlfcn.h>
typedef void* Library;
static Library OpenLibrary(const char* name) {
    char path[512];
    snprintf(path, sizeof path, "./%s", name);
    return dlopen(path, RTLD_NOW);
}
static void* Symbol(Library library, const char* name) { return dlsym(library, name); }
#endif

/* A function pointer from the library; copied, as C has no cast for it. */
static void Load(Library library, const char* name, void* function, size_t size) {
    void* address = Symbol(library, name);
    memcpy(function, &address, size);
}

static int failures = 0;

#define CHECK(condition)                                                                  \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                                   \
        }                                                                                 \
    } while (0)

/* ---- a controller table whose every slot succeeds and captures zeros ---- */

static unsigned calls = 0;
static uint32_t info_record[VELTRA_INFO_WORDS];

static const char* GetErrorText(void) { return "no error"; }
static uint32_t TapCall(uint32_t tap) {
    (void)tap;
    ++calls;
    return VELTRA_OK;
}
static uint32_t TapState(uint32_t tap, uint32_t code) {
    (void)tap;
    (void)code;
    ++calls;
    return VELTRA_OK;
}
static uint32_t Value(uint32_t value) {
    (void)value;
    ++calls;
    return VELTRA_OK;
}
static uint32_t TapValue(uint32_t tap, uint32_t value) {
    (void)tap;
    (void)value;
    ++calls;
    return VELTRA_OK;
}
static uint32_t Wait(uint32_t amount, uint32_t unit) {
    (void)amount;
    (void)unit;
    ++calls;
    return VELTRA_OK;
}
static uint32_t Shift(uint32_t tap, const uint16_t* tdi, uint32_t bits, uint16_t* tdo) {
    (void)tap;
    (void)tdi;
    if (tdo != NULL) memset(tdo, 0, ((bits + 15) / 16) * sizeof *tdo);
    ++calls;
    return VELTRA_OK;
}
static uint32_t ShiftCompare(uint32_t tap, const uint16_t* tdi, uint32_t bits, uint16_t* tdo,
                             const uint16_t* expected, const uint16_t* mask) {
    (void)expected;
    (void)mask;
    return Shift(tap, tdi, bits, tdo);
}
static uint32_t CompareResult(uint32_t* mask) {
    *mask = 0;
    ++calls;
    return VELTRA_OK;
}
static uint32_t Info(const uint32_t** record) {
    *record = info_record;
    ++calls;
    return VELTRA_OK;
}

static void FillTable(VeltraApi* api) {
    memset(api, 0, sizeof *api);
    api->GetErrorText = GetErrorText;
    api->ResetTap = api->PulseTrst = TapCall;
    api->SetTapState = api->SetStartState = TapState;
    api->ShiftDr = api->ShiftIr = api->ShiftDrToPause = api->ShiftIrToPause = Shift;
    api->WaitTck = api->SetStopState = api->SetFrequency = api->SetTckIdleState = Value;
    api->SetBuffering = api->SetCompareMode = Value;
    api->WaitTime = Wait;
    api->SetFlagLength = api->SetGanging = api->SetTrst = TapValue;
    api->ShiftDrCompare = api->ShiftIrCompare = ShiftCompare;
    api->ShiftDrCompareToPause = api->ShiftIrCompareToPause = ShiftCompare;
    api->ShiftDrLong = api->ShiftDrLongToPause = ShiftCompare;
    api->GetCompareResult = CompareResult;
    api->GetControllerInfo = Info;
}

/* ---- the host's reporting context ---- */

static char last_text[1024];

static void OnMessage(void* context, const SvfMessage* message) {
    (void)context;
    strncpy(last_text, message->text, sizeof last_text - 1);
}

int main(void) {
    Library library = OpenLibrary(SVF_PLAYER_LIBRARY);
    SvfInitFunction init, exit_function;
    SvfExecuteFunction execute;
    SvfReport report;
    SvfInfo info;
    VeltraApi api;
    const char* lines[] = {"SIR 8 TDI (01) TDO (00);", "RUNTEST 10 TCK;", "SDR 32 TDI (0);", NULL};

    CHECK(library != NULL);
    if (library == NULL) return 1;
    Load(library, "Svf_Init", &init, sizeof init);
    Load(library, "Svf_Exit", &exit_function, sizeof exit_function);
    Load(library, "Svf_Execute", &execute, sizeof execute);
    CHECK(init != NULL && exit_function != NULL && execute != NULL);
    if (init == NULL || exit_function == NULL || execute == NULL) return 1;

    CHECK(init == exit_function);
    CHECK(init() == 0);
    CHECK(exit_function() == 0);

    memset(&report, 0, sizeof report);
    report.messageCallback = OnMessage;
    report.verbosity = 3;
    FillTable(&api);

    CHECK(execute(&api, &report, NULL) == SVF_RETURN_ERROR);
    CHECK(report.resultCode == SVF_RESULT_BAD_JOB);
    CHECK(strcmp(last_text, "Error: Bad SvfInfo parameter in Svf_Execute() call") == 0);
    CHECK(report.started == 0);

    memset(&info, 0, sizeof info);
    info.gangFailMask = 0xFFFFu;
    CHECK(execute(&api, &report, &info) == SVF_RETURN_ERROR);
    CHECK(report.resultCode == SVF_RESULT_BAD_JOB);
    CHECK(report.started == 1);
    CHECK(info.gangFailMask == 0);
    CHECK(strcmp(last_text, "Error: No SVF file specified") == 0);

    /* A whole job from memory; the controller compares (no ERROR file). */
    memset(&info, 0, sizeof info);
    info.flags = SVF_FLAG_LINES_IN_MEMORY;
    info.svfSource = lines;
    info.tap = 1;
    info.frequencyKhz = 1000;
    calls = 0;
    CHECK(execute(&api, &report, &info) == SVF_RETURN_PASS);
    CHECK(report.resultCode == SVF_RESULT_PASS);
    CHECK(info.frequencyKhz == 1000);
    CHECK(calls > 0);

    if (failures == 0) printf("C host: all checks passed\n");
    return failures == 0 ? 0 : 1;
}
