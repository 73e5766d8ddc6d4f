// The console's input loops.
#include "console/session.h"

#include "console/help.h"
#include "console/host_state.h"
#include "console/interrupt.h"
#include "console/output.h"
#include "console/printer.h"
#include "console/reader.h"
#include "platform/path.h"
#include "platform/resolve.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <editline/readline.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace qorvan::console {

void printValue(const Value& v)
{
    if (v.isVoid()) return;
    if (!output::atLineStart()) output::write("\n");
    output::write(prin1Form(v) + "\n");
}

namespace {

    // Evaluates one form, reporting an error; false when it ended in one.
    bool evalReported(Interpreter& in, const Value& form, bool printResult)
    {
        try {
            Value v = in.eval(form);
            if (printResult) printValue(v);
            return true;
        } catch (const LispError& e) {
            output::error(e.what());
        } catch (const std::bad_alloc&) {
            output::error("insufficient memory");
        } catch (const std::exception& e) {
            output::error(e.what());
        }
        return false;
    }

    enum class Step { Done, NeedMore, Failed };

    // Evaluates the complete expressions at the start of pending and removes
    // them; what is left is an unfinished expression.
    Step evalPending(Interpreter& in, std::string& pending, bool printValues)
    {
        Reader reader(pending);
        for (;;) {
            Value form;
            std::string message;
            const ReadStatus status = reader.next(form, message);
            if (status == ReadStatus::End) {
                pending.clear();
                return Step::Done;
            }
            if (status == ReadStatus::Incomplete) {
                pending.erase(0, reader.position());
                return Step::NeedMore;
            }
            if (status == ReadStatus::Error) {
                output::error(message);
                pending.clear();
                return Step::Failed;
            }
            if (!evalReported(in, form, printValues)) {
                pending.clear();
                return Step::Failed;
            }
        }
    }

    std::string trim(const std::string& s)
    {
        const auto b = s.find_first_not_of(" \t\r\n");
        if (b == std::string::npos) return "";
        const auto e = s.find_last_not_of(" \t\r\n");
        return s.substr(b, e - b + 1);
    }

    // A name at the cursor completes to the functions and variables defined
    // now, in the letter case the user started typing in.
    char* completionCandidate(const char* text, int state)
    {
        static std::vector<std::string> matches;
        static std::size_t next = 0;
        if (state == 0) {
            matches.clear();
            next = 0;
            const std::string typed = text;
            const std::string prefix = platform::toUpperAscii(typed);
            const bool lower = typed.find_first_of("abcdefghijklmnopqrstuvwxyz") != std::string::npos
                || typed.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos;
            for (Symbol* s : internedSymbols()) {
                if (s->value.isNil() || s->name.compare(0, prefix.size(), prefix) != 0) continue;
                matches.push_back(lower ? platform::toLowerAscii(s->name) : s->name);
            }
        }
        if (next >= matches.size()) return nullptr;
        // readline frees what it is given.
        return strdup(matches[next++].c_str());
    }

    // Reads a key for the line editor. A Ctrl-C interrupts the read; the line
    // being typed is then given up (the editor sees the end of input, and the
    // caller learns from the interrupt flag that it was not Ctrl-D).
    int readKey(FILE*)
    {
        // SIGINT stays blocked except inside ppoll, so a Ctrl-C that arrives
        // just before the wait still ends it instead of being noticed only
        // after the next key.
        sigset_t blocked;
        sigset_t original;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGINT);
        sigprocmask(SIG_BLOCK, &blocked, &original);
        int key = EOF;
        for (;;) {
            if (interruptPending()) break;
            pollfd in { STDIN_FILENO, POLLIN, 0 };
            if (::ppoll(&in, 1, nullptr, &original) < 0) {
                if (errno == EINTR) continue;
                break;
            }
            unsigned char c = 0;
            const ssize_t n = ::read(STDIN_FILENO, &c, 1);
            if (n == 1) {
                key = c;
                break;
            }
            if (n == 0 || errno != EINTR) break;
        }
        sigprocmask(SIG_SETMASK, &original, nullptr);
        return key;
    }

    class LineSource {
    public:
        enum class Got { Line, Cancelled, End };

        LineSource()
            : terminal_(isatty(STDIN_FILENO) != 0)
        {
            if (!terminal_) return;
            // The editor must not catch SIGINT itself: its handler passes the
            // signal on to the whole process group.
            rl_catch_signals = 0;
            rl_getc_function = readKey;
            rl_completion_entry_function = completionCandidate;
            // A Lisp name may hold '-', '*', '<' or '=': only blanks,
            // parentheses and quotes end one.
            rl_basic_word_break_characters = " \t\n()'\"";
            using_history();
            stifle_history(HISTORY_LINES);
            if (const char* home = std::getenv("HOME")) {
                historyFile_ = std::string(home) + "/.qorvan_console_history";
                read_history(historyFile_.c_str());
            }
        }
        LineSource(const LineSource&) = delete;
        LineSource& operator=(const LineSource&) = delete;

        Got next(const char* prompt, std::string& line)
        {
            if (!terminal_) return std::getline(std::cin, line) ? Got::Line : Got::End;
            output::flush();
            char* text = readline(prompt);
            if (takeInterrupt()) {
                std::free(text);
                output::write("\n*Cancel*\n");
                return Got::Cancelled;
            }
            if (!text) {
                output::write("\n");
                return Got::End;
            }
            line = text;
            std::free(text);
            if (!trim(line).empty()) {
                add_history(line.c_str());
                saveHistory();
            }
            // The typed line ended with Enter: the terminal is at a line start.
            output::markLineStart();
            return Got::Line;
        }

    private:
        static constexpr int HISTORY_LINES = 1000;

        // After every line, so a session that is killed or crashes keeps what
        // was typed; written beside the file and renamed over it, so a failed
        // write never loses the older lines.
        void saveHistory()
        {
            if (historyFile_.empty()) return;
            const std::string temp = historyFile_ + ".new";
            if (write_history(temp.c_str()) == 0)
                std::rename(temp.c_str(), historyFile_.c_str());
            else
                std::remove(temp.c_str());
        }

        bool terminal_;
        std::string historyFile_;
    };

} // namespace

bool runText(Interpreter& in, std::string_view text, bool printValues)
{
    std::string pending(text);
    const Step step = evalPending(in, pending, printValues);
    if (step == Step::NeedMore) {
        output::error("malformed list on input");
        return false;
    }
    return step == Step::Done;
}

bool runScript(Interpreter& in, const std::string& userPath)
{
    std::string native = platform::resolveExisting(userPath);
    std::ifstream file(native, std::ios::binary);
    if (!file) {
        output::error("LOAD failed: " + prin1Form(Value::string(userPath)));
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return runText(in, text, false);
}

void runInteractive(Interpreter& in)
{
    LineSource source;
    // Only at a terminal: piped input and scripts still end on Ctrl-C.
    std::optional<InterruptGuard> interrupts;
    if (isatty(STDIN_FILENO)) interrupts.emplace();
    std::string pending;
    std::string line;
    for (;;) {
        const LineSource::Got got = source.next(pending.empty() ? "Command: " : "(_> ", line);
        if (got == LineSource::Got::End) break;
        if (got == LineSource::Got::Cancelled) {
            pending.clear();
            continue;
        }
        if (pending.empty()) {
            const std::string typed = trim(line);
            if (typed.empty()) continue;
            if (typed[0] != '(') {
                if (platform::equalsNoCase(typed, "QUIT")) break;
                if (runCommand(typed)) continue;
                if (platform::equalsNoCase(typed, "HELP"))
                    output::write(helpText());
                else
                    output::diagnostic("Unknown command \"" + platform::toUpperAscii(typed) + "\".");
                continue;
            }
        }
        pending += line;
        pending += '\n';
        evalPending(in, pending, true);
        // A Ctrl-C that came after the last check belongs to this line.
        takeInterrupt();
        if (trim(pending).empty()) pending.clear();
    }
    if (!trim(pending).empty()) output::error("malformed list on input");
}

} // namespace qorvan::console
