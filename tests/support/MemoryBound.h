#pragma once

// Bounds on how far a test's resident memory may grow, as this build can hold
// them. The ordinary build measures the program's own memory, and a bound is
// taken as it stands. The address checker keeps memory of its own beside the
// program's, all of it resident and counted in the same figure: a shadow byte
// for every eight, red zones around every block, and the freed blocks it holds
// back (256 MiB of them by default) so that a use after free still finds them
// poisoned. How much it holds depends on how much the run freed before, not on
// what the program holds, so a bound under it gets room for that on top of
// room for the shadow and red zones.
#include <QtGlobal>

#if defined(__SANITIZE_ADDRESS__)
#define VELLICOR_ADDRESS_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELLICOR_ADDRESS_CHECKER 1
#endif
#endif

#if defined(VELLICOR_ADDRESS_CHECKER) || defined(__SANITIZE_THREAD__)
#define VELLICOR_RUN_TIME_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELLICOR_RUN_TIME_CHECKER 1
#endif
#endif

// What the address checker may hold resident beyond the program's own memory:
// its held-back freed blocks with their red zones and shadow.
inline constexpr qint64 addressCheckerHeldBytes = 512ll << 20;

// The bound on a growth of resident memory that the program keeps within
// bytes: bytes itself in the ordinary build; under the address checker twice
// bytes (shadow and red zones) and what the checker holds. Every test that
// bounds a growth of resident memory compares against this.
constexpr qint64 scaledMemoryBound(qint64 bytes)
{
#if defined(VELLICOR_ADDRESS_CHECKER)
    return 2 * bytes + addressCheckerHeldBytes;
#else
    return bytes;
#endif
}
