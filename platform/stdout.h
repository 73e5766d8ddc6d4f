// Standard output at the end of a program. Output that could not be written
// (a full disk, a closed pipe reader, /dev/full) is an error the user must
// hear of: a listing cut short and an exit status of 0 would pass for a
// complete result.
#pragma once

#include <string>

namespace qorvan::platform {

// Flushes and closes standard output. True when everything written to it
// arrived; otherwise false with the system's reason.
bool closeStandardOutput(std::string& reason);

// For main: closes standard output and, when that fails, prints
// "PROGRAM: cannot write standard output: REASON" on standard error and
// returns the output failure status (below); otherwise returns status
// unchanged.
int finishStandardOutput(const char* program, int status);
// The exit status of a run whose output was lost: 1 unless a command whose
// 1 means something else says otherwise (diff, whose 1 is "different" and 2
// "trouble").
void setOutputFailureStatus(int status);

} // namespace qorvan::platform
