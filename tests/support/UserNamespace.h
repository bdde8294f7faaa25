#pragma once

// A test run again inside a user namespace, as a sandboxed or containered
// desktop program runs: one that maps only its user and that user's group, or
// one that maps the user's subordinate ids around the user too. Either way
// every owner outside the map, root among them, shows as the kernel's
// overflow id. Or, to set those apart, one that maps the superuser too.
#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <csignal>
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

// The map of the namespace the test runs in again.
enum class UserNamespaceMap {
    // Only the user and its group, as the user alone may map them.
    userAlone,
    // The user as itself amid subordinate ids that fill the rest of the
    // namespace's ids, the overflow id among them, but not the superuser, as
    // a rootless container keeping the user's id maps them. Written by the
    // superuser outside: the tests must run as the superuser.
    subordinateIds,
    // The superuser and the user, each as itself, and no other id: an owner
    // the map leaves out is some other user. Written by the superuser too.
    superuserAndUser,
};

// What running the current test inside came to: its exit code, or why it
// could not run there.
struct UserNamespaceRun {
    int exitCode = -1;
    std::string skipped;
};

// Runs the current test alone, again, in a child of this test program that
// makes a user namespace mapped as map asks, its own user and group kept as
// they are (the superuser first becomes namespaceUser, with no other group),
// and starts the test program in it. Its output goes where this program's
// does.
inline UserNamespaceRun runCurrentTestInUserNamespace(UserNamespaceMap map = UserNamespaceMap::userAlone)
{
    // A map of more than the user's own id is the superuser's to write.
    const bool byTheSuperuser = map != UserNamespaceMap::userAlone;
    if (byTheSuperuser && ::geteuid() != 0)
        return { -1, "only the superuser may map more ids than its own to a user namespace" };
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
    const auto mapOf = [map](unsigned id) {
        const std::string own = std::to_string(id) + ' ' + std::to_string(id) + " 1\n";
        // Below the user's id, and from just above it to the last id a map
        // may give, the subordinate ids from 100000 on, each at its own
        // distance.
        constexpr unsigned first = 100000, ids = 65536;
        switch (map) {
        case UserNamespaceMap::userAlone:
            break;
        case UserNamespaceMap::subordinateIds:
            return "0 " + std::to_string(first) + ' ' + std::to_string(id) + '\n' + own + std::to_string(id + 1) + ' '
                + std::to_string(first + id + 1) + ' ' + std::to_string(ids - id - 1) + '\n';
        case UserNamespaceMap::superuserAndUser:
            return "0 0 1\n" + own;
        }
        return own;
    };
    const std::string uidMap = mapOf(user);
    const std::string gidMap = mapOf(group);
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
    // The child tells over one pipe that its namespace is made; the superuser
    // tells over the other that its maps are written.
    int made[2] = { -1, -1 };
    int mapped[2] = { -1, -1 };
    if (byTheSuperuser && (::pipe2(made, O_CLOEXEC) != 0 || ::pipe2(mapped, O_CLOEXEC) != 0)) {
        for (int end : { made[0], made[1] }) {
            if (end >= 0)
                ::close(end);
        }
        return { -1, "no pipe to the child" };
    }
    // The child's ends: its program's exit code, or one of these.
    constexpr int noUser = 120, noNamespace = 121, noMap = 122, noStart = 123;
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        for (int end : { made[0], made[1], mapped[0], mapped[1] }) {
            if (end >= 0)
                ::close(end);
        }
        return { -1, "no child process" };
    }
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
        if (byTheSuperuser) {
            char mappedByte = 0;
            if (::write(made[1], "+", 1) != 1 || ::read(mapped[0], &mappedByte, 1) != 1 || mappedByte != '+')
                ::_exit(noMap);
        } else if (!write("/proc/self/setgroups", deny) || !write("/proc/self/uid_map", uidMap)
            || !write("/proc/self/gid_map", gidMap)) {
            ::_exit(noMap);
        }
        ::execve(self, arguments, environment.data());
        ::_exit(noStart);
    }
    if (byTheSuperuser) {
        ::close(made[1]);
        ::close(mapped[0]);
        const std::string maps = "/proc/" + std::to_string(child);
        char madeByte = 0;
        const bool written = ::read(made[0], &madeByte, 1) == 1 && write((maps + "/uid_map").c_str(), uidMap)
            && write((maps + "/gid_map").c_str(), gidMap);
        // Closed unwritten, the pipe ends the child as one without a map.
        if (written && ::write(mapped[1], "+", 1) != 1)
            ::kill(child, SIGKILL);
        ::close(made[0]);
        ::close(mapped[1]);
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
