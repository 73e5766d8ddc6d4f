// The console's standard output. Everything the console and its modules
// print goes through here, in order, so that the console knows whether the
// output so far ends in a newline before it prints a value on its own line.
#pragma once

#include <cstddef>
#include <string_view>

namespace qorvan::console::output {

void write(std::string_view text);
// True when nothing was written yet or the last byte was a newline.
bool atLineStart();
// Records that the terminal is at a line start (after a line was typed).
void markLineStart();
void flush();
// One error line on standard error, "; error: " followed by message.
void error(std::string_view message);
// A diagnostic line on standard error, as it stands.
void diagnostic(std::string_view line);

} // namespace qorvan::console::output
