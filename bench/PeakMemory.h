#pragma once

// The process's resident memory as the memory benchmarks read it: the peak
// (VmHWM) set back to the present resident memory at the start of each step,
// and each step's peak beyond the memory at start-up, per file.
#include <QtGlobal>

#include <algorithm>
#include <fstream>
#include <string>

// A "Vm…:" line of /proc/self/status (or of another process's status file)
// in bytes, 0 when it cannot be read.
inline qint64 statusBytes(const char* field, const std::string& statusFile = "/proc/self/status")
{
    std::ifstream status(statusFile);
    const std::string prefix = std::string(field) + ':';
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(prefix))
            return std::stoll(line.substr(prefix.size())) * 1024;
    return 0;
}

// Sets the peak resident memory back to the present one; false when the
// system does not allow it, and the peak is then the run's so far.
inline bool resetPeakMemory()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return clear.good();
}

// The peak resident memory of each step and of the whole run, against the
// resident memory when it was made (before the files were there).
struct MemoryPeaks {
    qint64 startUpBytes = statusBytes("VmRSS");
    qint64 fileCount = 0;
    qint64 overallBytes = 0;

    void beginStep()
    {
        overallBytes = std::max(overallBytes, statusBytes("VmHWM"));
        resetPeakMemory();
    }
    qint64 endStep()
    {
        const qint64 peak = statusBytes("VmHWM");
        overallBytes = std::max(overallBytes, peak);
        return peak;
    }
    double bytesPerFile(qint64 bytes) const
    {
        return fileCount > 0 ? double(bytes - startUpBytes) / double(fileCount) : 0;
    }
};
