#pragma once

#include <cstdio>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

// Runs body in a forked child, as a run that a kill or a crash can end: body
// ends the child itself (::_exit) or answers its exit code. Answers the
// child's exit code; -1 when it could not start or did not exit normally.
inline int exitCodeOfChild(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0)
        ::_exit(body());
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
