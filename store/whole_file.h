// Slides and libraries read whole into memory: the tool's commands look at
// every byte of a file once, and a slide is small beside a library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qorvan {

// The whole file at a user path (platform rules), or everything a pipe
// gives until it closes, up to the largest library there can be; false when
// it cannot be opened or read, and for devices and folders.
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& out);
// Why readWholeFile failed on path, as "PATH: reason" (call it right after).
std::string readFailure(const std::string& path);
// The first bytes of a file, at most limit of them (fewer when it is shorter).
bool readFileStart(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& out);

} // namespace qorvan
