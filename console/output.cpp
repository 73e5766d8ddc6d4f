// Standard output with line-start tracking; errors on standard error.
#include "console/output.h"

#include <cstdio>
#include <string>

namespace qorvan::console::output {

namespace {
    bool lineStart = true;
}

void write(std::string_view text)
{
    if (text.empty()) return;
    std::fwrite(text.data(), 1, text.size(), stdout);
    lineStart = text.back() == '\n';
}

bool atLineStart()
{
    return lineStart;
}
void markLineStart()
{
    lineStart = true;
}
void flush()
{
    std::fflush(stdout);
}

void diagnostic(std::string_view line)
{
    // Keep the two streams in order on a terminal.
    std::fflush(stdout);
    std::string text(line);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void error(std::string_view message)
{
    diagnostic("; error: " + std::string(message));
}

} // namespace qorvan::console::output
