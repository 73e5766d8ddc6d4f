// Running qorvan in a temporary folder and reading what it wrote.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/run.h"

namespace qorvan::testing {

RunResult qorvan(const std::vector<std::string>& args, const std::string& cwd);

// Decoded RGBA pixels of a PNG file, row 0 at the top; empty when it cannot
// be read.
struct Image {
    unsigned width = 0, height = 0;
    std::vector<std::uint32_t> rgba; // R in the low byte, A in the high
};
Image readPng(const std::string& path);

// True when text is well-formed XML as far as elements go: every tag
// closed in order, attributes quoted. Counts each element name seen.
bool wellFormed(const std::string& text, std::vector<std::string>* elements = nullptr);
std::size_t countOf(const std::vector<std::string>& elements, const std::string& name);

// The real files of one extension (".sld", ".slb"), sorted; empty without
// the test data.
std::vector<std::filesystem::path> realFiles(const std::string& extension);

// A small library written by hand: names and slide bytes.
std::string makeLibrary(const std::vector<std::pair<std::string, std::string>>& slides);

} // namespace qorvan::testing
