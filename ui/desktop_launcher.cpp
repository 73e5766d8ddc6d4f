// Opening links with the desktop on POSIX.
#include "ui/desktop_launcher.h"

#include "ui/launch.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace qorvan::ui {

namespace desktop {

    namespace {

        std::string readText(const std::string& path)
        {
            std::ifstream in(path, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }

        bool fileExists(const std::string& path)
        {
            return ::access(path.c_str(), R_OK) == 0;
        }

        std::string env(const char* name, const std::string& fallback)
        {
            const char* v = std::getenv(name);
            return (v && *v) ? std::string(v) : fallback;
        }

        std::vector<std::string> splitList(const std::string& s, char sep)
        {
            std::vector<std::string> out;
            std::string cur;
            for (char c : s) {
                if (c == sep) {
                    if (!cur.empty()) out.push_back(cur);
                    cur.clear();
                } else {
                    cur += c;
                }
            }
            if (!cur.empty()) out.push_back(cur);
            return out;
        }

        std::string trim(std::string_view s)
        {
            std::size_t b = s.find_first_not_of(" \t\r");
            if (b == std::string_view::npos) return {};
            std::size_t e = s.find_last_not_of(" \t\r");
            return std::string(s.substr(b, e - b + 1));
        }

        // The value of key in group of an ini-style text.
        std::optional<std::string> groupValue(
            std::string_view text, std::string_view group, std::string_view key)
        {
            bool inGroup = false;
            std::size_t pos = 0;
            while (pos <= text.size()) {
                std::size_t end = text.find('\n', pos);
                if (end == std::string_view::npos) end = text.size();
                std::string line = trim(text.substr(pos, end - pos));
                pos = end + 1;
                if (line.empty() || line[0] == '#') continue;
                if (line[0] == '[') {
                    inGroup = line == group;
                    continue;
                }
                if (!inGroup) continue;
                std::size_t eq = line.find('=');
                if (eq != std::string::npos && trim(std::string_view(line).substr(0, eq)) == key)
                    return trim(std::string_view(line).substr(eq + 1));
            }
            return std::nullopt;
        }

    } // namespace

    std::optional<std::string> defaultApplication(
        std::string_view mimeappsText, std::string_view mime, std::string_view section)
    {
        std::optional<std::string> value = groupValue(mimeappsText, section, mime);
        if (!value) return std::nullopt;
        std::vector<std::string> ids = splitList(*value, ';');
        if (ids.empty()) return std::nullopt;
        return ids.front();
    }

    std::optional<std::string> execLine(std::string_view desktopEntryText)
    {
        return groupValue(desktopEntryText, "[Desktop Entry]", "Exec");
    }

    std::optional<std::string> htmlHandlerCommand()
    {
        std::string home = env("HOME", "");
        std::string configHome = env("XDG_CONFIG_HOME", home + "/.config");
        std::string dataHome = env("XDG_DATA_HOME", home + "/.local/share");
        std::vector<std::string> configDirs = splitList(env("XDG_CONFIG_DIRS", "/etc/xdg"), ':');
        std::vector<std::string> dataDirs
            = splitList(env("XDG_DATA_DIRS", "/usr/local/share:/usr/share"), ':');

        std::vector<std::string> applicationDirs { dataHome + "/applications" };
        for (const std::string& d : dataDirs)
            applicationDirs.push_back(d + "/applications");

        std::vector<std::string> lists { configHome + "/mimeapps.list" };
        for (const std::string& d : configDirs)
            lists.push_back(d + "/mimeapps.list");
        for (const std::string& d : applicationDirs) {
            lists.push_back(d + "/mimeapps.list");
            lists.push_back(d + "/defaults.list");
        }
        for (const std::string& list : lists) {
            if (!fileExists(list)) continue;
            std::optional<std::string> id = defaultApplication(readText(list), "text/html");
            if (!id) continue;
            for (const std::string& dir : applicationDirs) {
                std::string entry = dir + "/" + *id;
                if (!fileExists(entry)) continue;
                if (std::optional<std::string> exec = execLine(readText(entry))) return exec;
            }
        }
        return std::nullopt;
    }

} // namespace desktop

namespace {

    constexpr int SHELL_SUCCESS = 42;

    void sleepMs(long ms)
    {
        timespec ts { ms / 1000, (ms % 1000) * 1000000L };
        ::nanosleep(&ts, nullptr);
    }

    // Starts argv detached (the program outlives us, no zombie is left) and
    // reports whether exec succeeded: 0, or the errno of the failed exec. With
    // waitMs > 0 the intermediate process also waits that long for the program
    // and passes its exit status on in *exitStatus (-1 while still running).
    int spawnDetached(const std::vector<std::string>& args, long waitMs, int* exitStatus)
    {
        if (args.empty()) return ENOENT;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return errno;
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);

        pid_t child = ::fork();
        if (child < 0) {
            ::close(fds[0]);
            ::close(fds[1]);
            return errno;
        }
        if (child == 0) {
            ::setsid();
            pid_t grandchild = ::fork();
            if (grandchild == 0) {
                ::execvp(argv[0], argv.data());
                int e = errno;
                (void)!::write(fds[1], &e, sizeof e);
                ::_exit(127);
            }
            ::close(fds[1]);
            int status = 0;
            for (long waited = 0; waitMs > 0 && waited < waitMs; waited += 20) {
                if (::waitpid(grandchild, &status, WNOHANG) == grandchild)
                    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 126);
                sleepMs(20);
            }
            ::_exit(waitMs > 0 ? 125 : 0); // 125: still running
        }
        ::close(fds[1]);
        int execError = 0;
        ssize_t n = ::read(fds[0], &execError, sizeof execError);
        ::close(fds[0]);
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
        if (n == static_cast<ssize_t>(sizeof execError)) return execError;
        if (exitStatus) {
            int code = WIFEXITED(status) ? WEXITSTATUS(status) : 126;
            *exitStatus = code == 125 ? -1 : code;
        }
        return 0;
    }

    class DesktopLauncher final : public Launcher {
    public:
        int shellOpen(const std::string& url, int) override
        {
            int exitStatus = -1;
            // xdg-open returns once the handler has taken the link; a handler
            // that stays in the foreground is taken as having opened it.
            int e = spawnDetached({ "xdg-open", url }, 3000, &exitStatus);
            if (e != 0) return 31;
            switch (exitStatus) {
            case -1:
            case 0:
                return SHELL_SUCCESS;
            case 2:
                return 2; // the file named does not exist
            case 1:
                return 27; // bad arguments: the association is unusable
            default:
                return 31; // no tool or the action failed: nothing associated
            }
        }

        std::optional<std::string> htmlOpenCommand() override { return desktop::htmlHandlerCommand(); }

        int execCommandLine(const std::string& commandLine, int) override
        {
            int e = spawnDetached(splitCommandLine(commandLine), 0, nullptr);
            switch (e) {
            case 0:
                return SHELL_SUCCESS;
            case ENOENT:
                return 2;
            case ENOTDIR:
                return 3;
            case ENOEXEC:
                return 11;
            case EACCES:
                return 5;
            default:
                return 0;
            }
        }
    };

} // namespace

Launcher& desktopLauncher()
{
    static DesktopLauncher l;
    return l;
}

} // namespace qorvan::ui
