#pragma once

#include "platform/ReachabilityTest.h"

// A network that is there or not, as the test says.
struct FixedProbe : NetworkReachabilityProbe {
    explicit FixedProbe(bool reachable)
        : reachable(reachable)
    {
    }
    bool isNetworkReachable() override { return reachable; }
    bool reachable;
};
