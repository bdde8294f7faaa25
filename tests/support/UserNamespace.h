#pragma once

// A test run again inside a user namespace that maps only its user and that
// user's group, as a sandboxed or containered desktop program runs: every
// owner outside the map, root among them, shows as the kernel's overflow id.
#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// Set in the environment of the run inside.
inline constexpr char insideUserNamespaceVariable[] = "VELLICOR_TEST_INSIDE_USER_NAMESPACE";

// The user the run inside is when the tests run as the superuser: an id of
// no account, so that nothing the superuser owns is its.
inline constexpr uid_t namespaceUser = 4711;

// The user and group the run inside is.
inline uid_t namespaceUserOf()
{
    return ::geteuid() == 0 ? namespaceUser : ::geteuid();
}
inline gid_t namespaceGroupOf()
{
    return ::geteuid() == 0 ? gid_t(namespaceUser) : ::getegid();
}

inline bool isInsideUserNamespaceRun()
{
    return qEnvironmentVariableIsSet(insideUserNamespaceVariable);
}

// What running the current test inside came to: its exit code, or why it
// could not run there.
struct UserNamespaceRun {
    int exitCode = -1;
    std::string skipped;
};

// Runs the current test alone, again, in a child of this test program that
// makes a user namespace mapping only its own user and group (the superuser
// first becomes namespaceUser, with no other group) and starts the test
// program in it. Its output goes where this program's does.
inline UserNamespaceRun runCurrentTestInUserNamespace()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return { -1, "the test program cannot find itself" };
    self[length] = '\0';
    // Made before the fork: between it and the start of the program, the
    // child only calls the system.
    const uid_t user = namespaceUserOf();
    const gid_t group = namespaceGroupOf();
    const std::string uidMap = std::to_string(user) + ' ' + std::to_string(user) + " 1\n";
    const std::string gidMap = std::to_string(group) + ' ' + std::to_string(group) + " 1\n";
    const std::string deny = "deny";
    const std::string marker = std::string(insideUserNamespaceVariable) + "=1";
    std::vector<char*> environment;
    for (char** variable = environ; *variable; ++variable)
        environment.push_back(*variable);
    environment.push_back(const_cast<char*>(marker.c_str()));
    environment.push_back(nullptr);
    char* arguments[] = { self, const_cast<char*>(filter.c_str()), nullptr };
    const auto write = [](const char* path, const std::string& text) {
        const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
        const bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
        if (fd >= 0)
            ::close(fd);
        return written;
    };
    // The child's ends: its program's exit code, or one of these.
    constexpr int noUser = 120, noNamespace = 121, noMap = 122, noStart = 123;
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return { -1, "no child process" };
    if (child == 0) {
        if (::geteuid() == 0
            && (::setgroups(0, nullptr) != 0 || ::setresgid(group, group, group) != 0
                || ::setresuid(user, user, user) != 0))
            ::_exit(noUser);
        // A change of user leaves the process undumpable, and its own files
        // under /proc, its maps among them, the superuser's.
        if (::prctl(PR_SET_DUMPABLE, 1) != 0)
            ::_exit(noUser);
        if (::unshare(CLONE_NEWUSER) != 0)
            ::_exit(noNamespace);
        if (!write("/proc/self/setgroups", deny) || !write("/proc/self/uid_map", uidMap)
            || !write("/proc/self/gid_map", gidMap))
            ::_exit(noMap);
        ::execve(self, arguments, environment.data());
        ::_exit(noStart);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return { -1, {} };
    switch (WEXITSTATUS(status)) {
    case noUser:
        return { -1, "the test cannot act as a user of its own" };
    case noNamespace:
        return { -1,
            "the kernel refuses a user namespace to an unprivileged user here (see "
            "/proc/sys/user/max_user_namespaces and /proc/sys/kernel/unprivileged_userns_clone)" };
    case noMap:
        return { -1, "the kernel refuses a user namespace its map of the user here (a security module may)" };
    case noStart:
        return { -1, "the test program cannot be started inside the user namespace" };
    default:
        return { WEXITSTATUS(status), {} };
    }
}
