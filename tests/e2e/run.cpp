// The black-box runner of the end-to-end tests (fork, exec, poll).
#include "tests/e2e/run.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qorvan::testing {

std::string binary(const std::string& name)
{
    return std::string(QORVAN_BINARY_DIR) + "/bin/" + name;
}

RunResult run(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
    const std::string& input)
{
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return {};
    std::signal(SIGPIPE, SIG_IGN);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : { in[0], in[1], out[0], out[1], err[0], err[1] })
            close(fd);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        // No display: a program under test never opens a window and waits.
        for (const char* name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
            unsetenv(name);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    RunResult result;
    std::size_t written = 0;
    int inFd = in[1];
    if (input.empty()) {
        close(inFd);
        inFd = -1;
    } else {
        fcntl(inFd, F_SETFL, O_NONBLOCK);
    }
    int readFds[2] = { out[0], err[0] };
    while (readFds[0] >= 0 || readFds[1] >= 0) {
        pollfd fds[3] = { { readFds[0], POLLIN, 0 }, { readFds[1], POLLIN, 0 }, { inFd, POLLOUT, 0 } };
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        char buf[65536];
        for (int k = 0; k < 2; ++k) {
            if (readFds[k] < 0 || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t got = read(readFds[k], buf, sizeof buf);
            if (got > 0) {
                (k == 0 ? result.out : result.err).append(buf, static_cast<std::size_t>(got));
            } else {
                close(readFds[k]);
                readFds[k] = -1;
            }
        }
        if (inFd >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t put = write(inFd, input.data() + written, input.size() - written);
            if (put > 0) written += static_cast<std::size_t>(put);
            if (put < 0 || written == input.size()) {
                close(inFd);
                inFd = -1;
            }
        }
    }
    if (inFd >= 0) close(inFd);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

} // namespace qorvan::testing
