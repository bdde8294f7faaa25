#pragma once

#include <QFile>
#include <QString>
#include <QtGlobal>

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// A memory control group with a limit, below the one this process is in
// (cgroup v1 or v2; making one takes root), made before the process that is
// to run in it starts and removed once that has ended.
class MemoryGroup {
public:
    bool make(qint64 limitBytes, const std::string& name = "vellicor-bench")
    {
        for (const bool v2 : { false, true }) {
            const std::string root = v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory";
            if (!QFile::exists(QString::fromStdString(root + (v2 ? "/cgroup.controllers" : "/memory.limit_in_bytes"))))
                continue;
            const std::string group = root + ownPath(v2) + "/" + name + "-" + std::to_string(::getpid());
            if (::mkdir(group.c_str(), 0755) != 0)
                continue;
            if (!write(group + (v2 ? "/memory.max" : "/memory.limit_in_bytes"), std::to_string(limitBytes))) {
                ::rmdir(group.c_str());
                continue;
            }
            group_ = group;
            v2_ = v2;
            return true;
        }
        return false;
    }
    // Puts the calling process into the group.
    bool enter() const { return group_.empty() || enter(group_); }
    // Puts the calling process into the group at path (made by another).
    static bool enter(const std::string& path)
    {
        return !path.empty() && write(path + "/cgroup.procs", std::to_string(::getpid()));
    }
    // Where the group is; empty when none was made.
    const std::string& path() const { return group_; }
    // The group's peak, where the system keeps one.
    qint64 peakBytes() const
    {
        std::ifstream in(group_ + (v2_ ? "/memory.peak" : "/memory.max_usage_in_bytes"));
        long long bytes = 0;
        return in >> bytes ? bytes : 0;
    }
    void remove()
    {
        if (!group_.empty())
            ::rmdir(group_.c_str());
        group_.clear();
    }

private:
    static std::string ownPath(bool v2)
    {
        std::ifstream in("/proc/self/cgroup");
        for (std::string line; std::getline(in, line);) {
            const std::size_t first = line.find(':');
            const std::size_t second = line.find(':', first + 1);
            const std::string controllers = ',' + line.substr(first + 1, second - first - 1) + ',';
            if (v2 ? line.starts_with("0::") : controllers.find(",memory,") != std::string::npos) {
                const std::string path = line.substr(second + 1);
                return path == "/" ? std::string() : path;
            }
        }
        return std::string();
    }
    static bool write(const std::string& file, const std::string& text)
    {
        std::ofstream out(file);
        out << text;
        out.flush();
        return out.good();
    }

    std::string group_;
    bool v2_ = false;
};
