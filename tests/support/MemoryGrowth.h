#pragma once

#include "../../bench/PeakMemory.h"
#include "support/MemoryBound.h"

// The peak resident memory of the test process since it was made, beyond the
// resident memory then. Where the system cannot set the peak back, the peak
// is the run's so far: an over-estimate, never an under-estimate. A bound on
// it is scaledMemoryBound(bytes) (support/MemoryBound.h).
class MemoryGrowth {
public:
    MemoryGrowth()
        : startBytes_((resetPeakMemory(), statusBytes("VmRSS")))
    {
    }
    qint64 peakBytes() const { return std::max<qint64>(0, statusBytes("VmHWM") - startBytes_); }
    qint64 peakMiB() const { return peakBytes() >> 20; }

private:
    const qint64 startBytes_;
};
