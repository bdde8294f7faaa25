#include "base/ReleaseElsewhere.h"

#include <atomic>
#include <malloc.h>

namespace {

void trimHeap()
{
    malloc_trim(0);
}

std::atomic<FreedMemoryGiver> giver { &trimHeap };

} // namespace

void giveFreedMemoryBack()
{
    giver.load()();
}

FreedMemoryGiver setFreedMemoryGiver(FreedMemoryGiver replacement)
{
    return giver.exchange(replacement ? replacement : &trimHeap);
}
