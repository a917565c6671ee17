// Any byte sequence as a dBase table either loads or fails with one of the import's messages.
#include "FuzzTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzTableImport(data, size, ".dbf");
}
