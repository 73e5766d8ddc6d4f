// The ways the console takes AutoLISP: expressions given with -e, a script
// file, and lines from standard input (with a "Command: " prompt and line
// editing on a terminal). Values of -e expressions and of typed expressions
// are printed in prin1 form on a line of their own; errors abandon the
// expression with "; error: ..." on standard error.
#pragma once

#include "console/interpreter.h"

#include <string>
#include <string_view>

namespace qorvan::console {

// Evaluates every expression of text, printing each value when printValues
// is set. False when an error abandoned it.
bool runText(Interpreter& in, std::string_view text, bool printValues);
// Runs a script file; only what it prints itself is printed. False on an
// error (the rest of the script is abandoned) or when it cannot be read.
bool runScript(Interpreter& in, const std::string& userPath);
// Reads lines until end of input or QUIT.
void runInteractive(Interpreter& in);

// Prints a value on a line of its own; a void value prints nothing.
void printValue(const Value& v);

} // namespace qorvan::console
