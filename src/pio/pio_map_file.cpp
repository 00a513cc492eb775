// STUB: replaced by the PIO mapping file reader.
#include "pio/pio_map_file.h"
namespace svf {
Status ReadPioMapFile(SvfReport*, const char*, PodPins*) { return kInternal; }
Status ParsePioMapFile(const SvfReport*, PodPins*, PioMapReader&, const char*) { return kInternal; }
PioMapWordResult ReadPioMapWord(PioMapReader&) { return PioMapWordResult::kEnd; }
uint32_t ClassifyPioMapWord(const PioMapReader&) { return kPioMapNoWord; }
}  // namespace svf
