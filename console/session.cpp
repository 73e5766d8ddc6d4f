// The console's input loops.
#include "console/session.h"

#include "console/host_state.h"
#include "console/output.h"
#include "console/printer.h"
#include "console/reader.h"
#include "platform/path.h"
#include "platform/resolve.h"

#include <cstdio>
#include <cstdlib>
#include <editline/readline.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <unistd.h>

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

class LineSource {
public:
    LineSource() : terminal_(isatty(STDIN_FILENO) != 0)
    {
        if (!terminal_) return;
        using_history();
        if (const char* home = std::getenv("HOME")) {
            historyFile_ = std::string(home) + "/.qorvan_console_history";
            read_history(historyFile_.c_str());
        }
    }
    ~LineSource()
    {
        if (terminal_ && !historyFile_.empty()) write_history(historyFile_.c_str());
    }
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;

    bool next(const char* prompt, std::string& line)
    {
        if (!terminal_) return static_cast<bool>(std::getline(std::cin, line));
        output::flush();
        char* text = readline(prompt);
        if (!text) {
            output::write("\n");
            return false;
        }
        line = text;
        if (!trim(line).empty()) add_history(text);
        std::free(text);
        // The typed line ended with Enter: the terminal is at a line start.
        output::markLineStart();
        return true;
    }

private:
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
    std::string pending;
    std::string line;
    while (source.next(pending.empty() ? "Command: " : "(_> ", line)) {
        if (pending.empty()) {
            const std::string typed = trim(line);
            if (typed.empty()) continue;
            if (typed[0] != '(') {
                if (platform::equalsNoCase(typed, "QUIT")) break;
                if (!runCommand(typed)) output::diagnostic("Unknown command \"" + platform::toUpperAscii(typed) + "\".");
                continue;
            }
        }
        pending += line;
        pending += '\n';
        evalPending(in, pending, true);
        if (trim(pending).empty()) pending.clear();
    }
    if (!trim(pending).empty()) output::error("malformed list on input");
}

} // namespace qorvan::console
