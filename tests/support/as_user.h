// Runs a piece of a test as another user, in a child process, so that the
// permission checks of a real kernel apply (the tests themselves usually run
// as root, which passes them all).
#pragma once

#include <functional>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qorvan::testing {

inline constexpr uid_t NOBODY = 65534;

inline bool runningAsRoot()
{
    return ::geteuid() == 0;
}

// The child's exit status of body() run as uid:gid (with the supplementary
// groups given), or -1 when the child could not start or change user, or
// died of a signal.
inline int runAs(uid_t uid, gid_t gid, const std::function<int()>& body, std::vector<gid_t> groups = {})
{
    pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(99);
        ::_exit(body());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    int code = WEXITSTATUS(status);
    return code == 99 ? -1 : code;
}

} // namespace qorvan::testing
