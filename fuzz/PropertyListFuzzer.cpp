// The property-list reader over any bytes: a value or an explanation, never
// a crash.

#include "FuzzSupport.h"

#include "core/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const PropertyListResult result = readPropertyList(Fuzz::bytes(data, size));
    if (result.root && !result.error.isEmpty())
        __builtin_trap();
    if (!result.root && result.error.isEmpty())
        __builtin_trap();
    return 0;
}
