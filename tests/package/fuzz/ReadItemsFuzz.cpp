// Feeds arbitrary files to the package reader. Damaged packages must read
// as no package, damaged zlib data may raise EZDecompressionError, and
// nothing may be read out of bounds or leaked.
#include "package/ZLibEx.h"
#include "package/uExeAdder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    zembra::TMemoryStream stream(Data, Size);
    zembra::TItemTypes items;
    try {
        zembra::ReadItemsFromStream(stream, items);
    } catch (const zembra::EZDecompressionError&) {
    }
    // Every item that is there is consistent and owns what it claims.
    for (const zembra::TItemType& item : items) {
        if ((item.Size == 0) != (item.Data == nullptr) || item.Size < 0)
            std::abort();
        volatile unsigned char sink = 0;
        if (item.Size > 0)
            sink = item.Data[0] ^ item.Data[item.Size - 1];
        (void)sink;
    }
    zembra::FreeItems(items);
    return 0;
}
