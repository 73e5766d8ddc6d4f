// Shared helpers of the store tests: libraries built and taken apart in
// memory, and a fixture that runs each test inside a fresh folder.
#pragma once

#include "store/library.h"
#include "store/status.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qorvan::testing {

struct Slide {
    std::string name;
    std::string bytes;
};

inline void putLe32(std::string& out, std::size_t at, std::int64_t v)
{
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<char>((u >> (8 * i)) & 0xff);
}

inline std::int32_t getLe32(const std::string& in, std::size_t at)
{
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[at + static_cast<std::size_t>(i)]))
            << (8 * i);
    return static_cast<std::int32_t>(u);
}

// A library as the store writes one: header, entries, terminator, slides.
inline std::string makeLibrary(const std::vector<Slide>& slides)
{
    std::string out(32 + 36 * (slides.size() + 1), '\0');
    std::memcpy(out.data(), LIBRARY_MAGIC, LIBRARY_MAGIC_LENGTH);
    std::int64_t offset = static_cast<std::int64_t>(out.size());
    for (std::size_t i = 0; i < slides.size(); ++i) {
        std::memcpy(out.data() + 32 + 36 * i, slides[i].name.data(), slides[i].name.size());
        putLe32(out, 32 + 36 * i + 32, offset);
        offset += static_cast<std::int64_t>(slides[i].bytes.size());
    }
    for (const Slide& s : slides)
        out += s.bytes;
    return out;
}

// Takes a library apart independently of the store; fails the test when its
// layout is not exactly what the store writes.
inline std::vector<Slide> parseLibrary(const std::string& lib)
{
    std::vector<Slide> slides;
    EXPECT_GE(lib.size(), 68u);
    if (lib.size() < 68) return slides;
    EXPECT_EQ(std::memcmp(lib.data(), LIBRARY_MAGIC, LIBRARY_MAGIC_LENGTH), 0);
    EXPECT_EQ(lib.substr(28, 4), std::string(4, '\0'));
    std::vector<std::pair<std::string, std::int32_t>> entries;
    std::size_t at = 32;
    while (at + 36 <= lib.size() && lib[at] != '\0') {
        std::string field = lib.substr(at, 32);
        std::string name = field.substr(0, field.find('\0'));
        EXPECT_EQ(field.substr(name.size()), std::string(32 - name.size(), '\0')) << "padding of " << name;
        entries.emplace_back(name, getLe32(lib, at + 32));
        at += 36;
    }
    EXPECT_EQ(lib.substr(at, 36), std::string(36, '\0')) << "terminating entry";
    std::int64_t expect = static_cast<std::int64_t>(at + 36);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].second, expect) << "offset of " << entries[i].first;
        std::int64_t end
            = i + 1 < entries.size() ? entries[i + 1].second : static_cast<std::int64_t>(lib.size());
        if (end < entries[i].second || end > static_cast<std::int64_t>(lib.size())) return slides;
        slides.push_back({ entries[i].first,
            lib.substr(static_cast<std::size_t>(entries[i].second),
                static_cast<std::size_t>(end - entries[i].second)) });
        expect = end;
    }
    return slides;
}

inline std::string slideBytes(const std::string& seed, std::size_t n)
{
    std::string out(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<char>(seed[i % seed.size()] + static_cast<char>(i / 7));
    return out;
}

inline std::string nameOf(const SlideName& n)
{
    return std::string(n.bytes, strnlen(n.bytes, SLIDE_NAME_SIZE));
}

inline std::vector<std::string> namesIn(const std::vector<Slide>& slides)
{
    std::vector<std::string> out;
    for (const Slide& s : slides)
        out.push_back(s.name);
    return out;
}

// Each test runs in a fresh folder as its current directory, so relative
// library paths such as "parts" mean what a user at a prompt means.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        setStatus(Ok, nullptr, nullptr);
    }
    // A test that skips in its own SetUp before ours ran has nothing to
    // restore, and an empty path would make current_path throw.
    void TearDown() override
    {
        if (!old_.empty()) std::filesystem::current_path(old_);
    }

    void write(const std::string& rel, const std::string& bytes) const { dir_.write(rel, bytes); }
    std::string read(const std::string& rel) const { return readFile(dir_.path() / rel); }
    bool exists(const std::string& rel) const { return std::filesystem::exists(dir_.path() / rel); }
    std::vector<std::string> files() const
    {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir_.path()))
            out.push_back(std::filesystem::relative(e.path(), dir_.path()).string());
        std::sort(out.begin(), out.end());
        return out;
    }

    TempDir dir_;
    std::filesystem::path old_;
};

} // namespace qorvan::testing
