// What `help` and (help) print: every function the console knows, with one
// line each, and the commands the modules registered.
#pragma once

#include <string>
#include <string_view>

namespace qorvan::console {

class Interpreter;

// The one-line description of a function name (any case), or empty when the
// console has none (a module's own function it was not told about).
std::string_view functionSummary(std::string_view name);

// The whole listing, ending in a newline.
std::string helpText();

void installHelp(Interpreter& in);

} // namespace qorvan::console
