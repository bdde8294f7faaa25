#pragma once

#include "support/FakeHttpServer.h"
#include "support/MemoryGrowth.h"
#include "support/WaitUntil.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>

// The answers that never end which every request of the program must survive:
// headers without end, a status line or one header line without end, and a
// chunked body without end.
struct EndlessCase {
    FakeHttpResponse::Endless shape;
    const char* name;
};

inline constexpr EndlessCase endlessCases[] = {
    { FakeHttpResponse::Endless::headerLines, "endless headers" },
    { FakeHttpResponse::Endless::statusLine, "endless status line" },
    { FakeHttpResponse::Endless::headerLine, "endless header line" },
    { FakeHttpResponse::Endless::chunkedBody, "endless chunked body" },
};

// A request ends far sooner than the services' deadline of a minute when its
// answer never ends, and its peak memory stays under the bound (as this build
// holds it: scaledMemoryBound). start sends
// the request against an answer of the case's shape; ended tells when it has
// ended. The time and peak of each case are printed for the record.
inline void expectEndlessAnswerEnds(const EndlessCase& endless, const std::function<void()>& start,
    const std::function<bool()>& ended, qint64 memoryBound, int generousMs = 10000)
{
    const MemoryGrowth memory;
    QElapsedTimer clock;
    clock.start();
    start();
    const bool done = waitUntil(ended, generousMs);
    std::cout << endless.name << ": " << (done ? "ended" : "still running") << " after " << clock.elapsed()
              << " ms, peak +" << memory.peakMiB() << " MiB\n";
    EXPECT_TRUE(done) << endless.name;
    EXPECT_LT(memory.peakBytes(), scaledMemoryBound(memoryBound)) << endless.name;
}

// A listing against a service whose pages never end: started by start, run
// until ended() holds, and printed with its requests, time and peak memory.
// It is given up past a generous deadline, or at once past a gigabyte of
// growth (scaled as every bound), so that a listing without an end cannot take the machine.
struct EndlessListing {
    bool ended = false;
    int requests = 0;
    qint64 peakBytes = 0;
};

inline EndlessListing runEndlessListing(const char* name, const std::function<void()>& start,
    const std::function<bool()>& ended, const std::function<int()>& requests, int generousMs = 60000)
{
    const MemoryGrowth memory;
    QElapsedTimer clock;
    clock.start();
    start();
    waitUntil([&] { return ended() || memory.peakBytes() > scaledMemoryBound(1ll << 30); }, generousMs);
    const EndlessListing run { ended(), requests(), memory.peakBytes() };
    std::cout << name << ": " << (run.ended ? "ended" : "still running") << " after " << run.requests
              << " requests, " << clock.elapsed() << " ms, peak +" << (run.peakBytes >> 20) << " MiB\n";
    return run;
}
