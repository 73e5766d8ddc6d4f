// Differences between two slides (record by record, with positions) and
// between two libraries (slides added, removed, renamed, moved, changed,
// then each changed slide's records), as text for a person.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qorvan::inspect {

struct DiffResult {
    bool differ = false;
    std::string report; // empty when the two are the same
};

DiffResult diffSlides(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);
DiffResult diffLibraries(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b);

// The shortest edit between two sequences of lines, as the indices kept on
// each side. Past maxEdits differences it stops looking for the shortest
// and calls everything between the common start and end changed.
struct LineEdit {
    enum Kind { Keep, Remove, Add } kind;
    std::size_t a, b; // index into a (Keep, Remove) and b (Keep, Add)
};
std::vector<LineEdit> diffLines(
    const std::vector<std::string>& a, const std::vector<std::string>& b, std::size_t maxEdits = 1500);

} // namespace qorvan::inspect
