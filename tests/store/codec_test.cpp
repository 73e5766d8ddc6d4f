// The library codec: each way a directory can be unsound, decoded strictly
// and leniently, over memory and over a file (which must agree), with the
// fault's byte offset; and the encoder against an independent reader.
#include <cstring>

#include "platform/io.h"
#include "store/library_codec.h"
#include "store/limits.h"
#include "store_fixture.h"

using namespace qorvan;
using namespace qorvan::testing;

namespace {

class CodecTest : public StoreTest { };

DecodedLibrary decodeText(const std::string& bytes, DecodeMode mode)
{
    return decodeLibrary(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), mode);
}

std::string withByte(std::string s, std::size_t at, char v)
{
    s[at] = v;
    return s;
}

TEST_F(CodecTest, FaultTable)
{
    const std::string two
        = makeLibrary({ { "BOX", std::string(40, 'b') }, { "GEAR", std::string(60, 'g') } });
    std::string swapped = two;
    putLe32(swapped, 32 + 32, 140 + 40); // first slide after the second
    putLe32(swapped, 32 + 36 + 32, 140);
    std::string pastEnd = two;
    putLe32(pastEnd, 32 + 36 + 32, 100000);
    std::string intoDirectory = two;
    putLe32(intoDirectory, 32 + 32, 40);
    const std::string unterminated = two.substr(0, 32 + 72);
    const std::string partial = two.substr(0, 32 + 36 + 10);
    // A terminating entry cut short: only its first byte is examined.
    const std::string shortTerminator = two.substr(0, 32 + 72 + 1);
    struct Case {
        const char* what;
        std::string bytes;
        LibraryFault strict;
        std::int64_t offset;
        LibraryFault lenient;
        std::int64_t lenientOffset;
        std::size_t lenientEntries;
    } cases[] = {
        { "sound", two, LibraryFault::None, 0, LibraryFault::None, 0, 2 },
        { "byte 28 not zero", withByte(two, 28, 'x'), LibraryFault::NotALibrary, 0, LibraryFault::NotALibrary,
            0, 0 },
        { "bytes 29..31 ignored", withByte(two, 30, 'x'), LibraryFault::None, 0, LibraryFault::None, 0, 2 },
        { "shorter than the header", two.substr(0, 31), LibraryFault::NotALibrary, 0,
            LibraryFault::NotALibrary, 0, 0 },
        { "no terminator", unterminated, LibraryFault::Unterminated, 104, LibraryFault::Unterminated, 104,
            2 },
        { "entry cut short", partial, LibraryFault::PartialEntry, 68, LibraryFault::PartialEntry, 68, 1 },
        { "terminator cut short", shortTerminator, LibraryFault::BadOffset, 64, LibraryFault::PartialEntry,
            104, 2 },
        // Strict names the entry whose slide would run backwards or past the
        // end; lenient names the entry whose own offset is wrong.
        { "offsets out of order", swapped, LibraryFault::BadOffset, 64, LibraryFault::OffsetOverlaps, 100,
            2 },
        { "offset past the end", pastEnd, LibraryFault::BadOffset, 64, LibraryFault::OffsetOutside, 100, 2 },
        { "offset inside the directory", intoDirectory, LibraryFault::BadOffset, 64,
            LibraryFault::OffsetOutside, 64, 2 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DecodedLibrary s = decodeText(c.bytes, DecodeMode::Strict);
        EXPECT_EQ(s.fault, c.strict);
        if (c.strict != LibraryFault::None) {
            EXPECT_EQ(s.faultOffset, c.offset);
            EXPECT_TRUE(s.entries.empty()) << "a refused directory hands out nothing";
        }
        DecodedLibrary l = decodeText(c.bytes, DecodeMode::Lenient);
        EXPECT_EQ(l.fault, c.lenient);
        if (c.lenient != LibraryFault::None) {
            EXPECT_EQ(l.faultOffset, c.lenientOffset);
        }
        EXPECT_EQ(l.faults.size(), c.lenient == LibraryFault::None ? 0u : 1u);
        EXPECT_EQ(l.entries.size(), c.lenientEntries);

        // The file decoder reads in blocks; it must see exactly what the
        // memory decoder sees.
        write("x.slb", c.bytes);
        for (DecodeMode mode : { DecodeMode::Strict, DecodeMode::Lenient, DecodeMode::Raw }) {
            platform::File f = platform::File::open("x.slb", platform::OpenMode::Read);
            ASSERT_TRUE(f.isOpen());
            DecodedLibrary fromFile = decodeLibrary(f, mode);
            DecodedLibrary fromMemory = decodeText(c.bytes, mode);
            EXPECT_EQ(fromFile.fault, fromMemory.fault);
            EXPECT_EQ(fromFile.faultOffset, fromMemory.faultOffset);
            EXPECT_EQ(fromFile.terminated, fromMemory.terminated);
            EXPECT_EQ(fromFile.terminatorCut, fromMemory.terminatorCut);
            EXPECT_EQ(fromFile.directoryEnd, fromMemory.directoryEnd);
            ASSERT_EQ(fromFile.entries.size(), fromMemory.entries.size());
            for (std::size_t i = 0; i < fromFile.entries.size(); ++i) {
                EXPECT_EQ(fromFile.entries[i].offset, fromMemory.entries[i].offset);
                EXPECT_EQ(fromFile.entries[i].size, fromMemory.entries[i].size);
            }
        }
        // Straight into the store's entries, the strict decoding is the same.
        platform::File f = platform::File::open("x.slb", platform::OpenMode::Read);
        std::vector<LibraryEntry> direct(3); // whatever was there is replaced
        const DecodedLibrary d = decodeDirectory(f, direct);
        EXPECT_EQ(d.fault, s.fault);
        EXPECT_EQ(d.faultOffset, s.faultOffset);
        EXPECT_TRUE(d.entries.empty());
        const std::vector<LibraryEntry> expected = s.libraryEntries();
        ASSERT_EQ(direct.size(), expected.size());
        for (std::size_t i = 0; i < direct.size(); ++i) {
            EXPECT_EQ(slideNameText(direct[i].name), slideNameText(expected[i].name));
            EXPECT_EQ(direct[i].offset, expected[i].offset);
            EXPECT_EQ(direct[i].size, expected[i].size);
        }
    }
}

// Raw reads the directory behind a damaged header, which the other modes
// refuse to look at; every mode tells a cut terminator from a cut entry.
TEST_F(CodecTest, RawReadsPastAForeignHeader)
{
    const std::string two
        = makeLibrary({ { "BOX", std::string(40, 'b') }, { "GEAR", std::string(60, 'g') } });
    std::string overwritten = two;
    overwritten.replace(0, 32, std::string(32, 'x'));
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t lenientEntries, rawEntries;
        bool terminated, terminatorCut;
        std::size_t directoryEnd; // as Raw decodes it
    } cases[] = {
        { "sound", two, 2, 2, true, false, 140 },
        { "header overwritten", overwritten, 0, 2, true, false, 140 },
        { "byte 28 not zero", withByte(two, 28, 'x'), 0, 2, true, false, 140 },
        { "shorter than the header", two.substr(0, 31), 0, 0, false, false, 0 },
        { "terminator cut short", two.substr(0, 32 + 72 + 5), 2, 2, false, true, 104 },
        { "entry cut short", two.substr(0, 32 + 36 + 10), 1, 1, false, false, 68 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(decodeText(c.bytes, DecodeMode::Lenient).entries.size(), c.lenientEntries);
        DecodedLibrary r = decodeText(c.bytes, DecodeMode::Raw);
        ASSERT_EQ(r.entries.size(), c.rawEntries);
        EXPECT_EQ(r.terminated, c.terminated);
        EXPECT_EQ(r.terminatorCut, c.terminatorCut);
        EXPECT_EQ(r.directoryEnd, c.directoryEnd);
        EXPECT_EQ(r.magic, c.bytes.size() >= 32 && c.bytes.compare(0, 29, two, 0, 29) == 0);
        if (!r.magic) {
            EXPECT_EQ(r.fault, LibraryFault::NotALibrary);
        }
        if (c.rawEntries == 2) {
            EXPECT_EQ(slideNameText(r.entries[1].name), "GEAR");
            EXPECT_EQ(r.entries[0].size, 40);
        }
    }
}

TEST_F(CodecTest, OneEntryBackAndForth)
{
    SlideName name;
    std::memcpy(name.bytes, "DOOR\0\x07pad", 9); // bytes after the NUL survive
    std::vector<std::uint8_t> out = { 0xAA };
    appendEntry(out, name, -12345);
    ASSERT_EQ(out.size(), 1 + DIRECTORY_ENTRY_SIZE);
    EXPECT_EQ(out[1 + 32], 0xC7); // the offset, little-endian, after the 32-byte name
    EXPECT_EQ(out[1 + 35], 0xFF);
    DecodedEntry e = decodeEntry(out.data() + 1, 77);
    EXPECT_EQ(std::memcmp(e.name.bytes, name.bytes, SLIDE_NAME_SIZE), 0);
    EXPECT_EQ(e.offset, -12345);
    EXPECT_EQ(e.entryOffset, 77u);
}

TEST_F(CodecTest, LenientKeepsWhatStrictRefuses)
{
    std::string lib = makeLibrary({ { "A", "aaaa" }, { "B", "bbbbbbbb" } });
    putLe32(lib, 32 + 32, 150); // A starts after B
    DecodedLibrary d = decodeText(lib, DecodeMode::Lenient);
    ASSERT_EQ(d.entries.size(), 2u);
    EXPECT_EQ(d.entries[0].offset, 150);
    EXPECT_EQ(d.entries[0].size, 144 - 150); // negative, as the layout derives it
    EXPECT_EQ(d.entries[1].size, static_cast<std::int64_t>(lib.size()) - 144);
    EXPECT_EQ(d.entries[1].entryOffset, 68u);
    EXPECT_EQ(d.directoryEnd, 140u);
    EXPECT_FALSE(decodeText(lib, DecodeMode::Strict).ok());
}

TEST_F(CodecTest, LenientNamesEveryMisplacedSlide)
{
    std::string lib = makeLibrary({ { "A", "aaaa" }, { "B", "bbbbbbbb" }, { "C", "cc" }, { "D", "dddd" } });
    const std::int32_t b = 32 + 36 * 5 + 4; // where B starts
    putLe32(lib, 32 + 32, 9999); // A past the end
    putLe32(lib, 32 + 36 * 2 + 32, b + 2); // C two bytes into B: later, so B is only cut
    putLe32(lib, 32 + 36 * 3 + 32, b); // D before C: the two overlap
    DecodedLibrary d = decodeText(lib, DecodeMode::Lenient);
    ASSERT_EQ(d.faults.size(), 2u);
    EXPECT_EQ(d.faults[0].fault, LibraryFault::OffsetOutside);
    EXPECT_EQ(d.faults[0].offset, 64);
    EXPECT_EQ(d.faults[1].fault, LibraryFault::OffsetOverlaps);
    EXPECT_EQ(d.faults[1].offset, 32 + 36 * 3 + 32);
    // The strict reader stops at the first and hands out nothing.
    DecodedLibrary s = decodeText(lib, DecodeMode::Strict);
    EXPECT_EQ(s.faults.size(), 1u);
    EXPECT_TRUE(s.entries.empty());
}

// Directories longer than one block of the file decoder, with the
// terminator and the end of the file at and around the block's edges.
TEST_F(CodecTest, FileDecoderAcrossBlocks)
{
    for (std::size_t count : { 1819u, 1820u, 1821u, 3640u }) {
        SCOPED_TRACE(count);
        std::vector<Slide> slides;
        for (std::size_t i = 0; i < count; ++i)
            slides.push_back({ "S" + std::to_string(i), "x" });
        std::string lib = makeLibrary(slides);
        write("big.slb", lib);
        platform::File f = platform::File::open("big.slb", platform::OpenMode::Read);
        DecodedLibrary d = decodeLibrary(f, DecodeMode::Strict);
        ASSERT_TRUE(d.ok()) << libraryFaultText(d.fault);
        ASSERT_EQ(d.entries.size(), count);
        EXPECT_EQ(slideNameText(d.entries[count - 1].name), "S" + std::to_string(count - 1));
        EXPECT_EQ(d.entries[count - 1].size, 1);
    }
}

TEST_F(CodecTest, VisitorStopsTheScan)
{
    std::string lib = makeLibrary({ { "A", "a" }, { "B", "b" }, { "C", "c" } });
    std::vector<std::string> seen;
    DecodedLibrary d = decodeLibrary(reinterpret_cast<const std::uint8_t*>(lib.data()), lib.size(),
        DecodeMode::Lenient, [&](const DecodedEntry& e) {
            seen.push_back(slideNameText(e.name));
            return seen.size() < 2;
        });
    EXPECT_EQ(seen, (std::vector<std::string> { "A", "B" }));
    EXPECT_FALSE(d.terminated);
    EXPECT_TRUE(d.ok());
}

TEST_F(CodecTest, EncodedHeadIsWhatTheStoreWrites)
{
    std::vector<LibraryEntry> entries(3);
    const char* names[] = { "BOX", "GEAR", "A_NAME_OF_THIRTY_ONE_CHARACTERS" };
    const std::string bodies[] = { "box", std::string(500, 'g'), "" };
    std::vector<Slide> slides;
    for (int i = 0; i < 3; ++i) {
        std::memcpy(entries[i].name.bytes, names[i], std::strlen(names[i]));
        entries[i].size = static_cast<std::int32_t>(bodies[i].size());
        slides.push_back({ names[i], bodies[i] });
    }
    std::vector<std::uint8_t> head = encodeLibraryHead(entries);
    std::string lib(head.begin(), head.end());
    for (const std::string& b : bodies)
        lib += b;
    EXPECT_EQ(lib, makeLibrary(slides));
    EXPECT_EQ(entries[1].offset, 176 + 3);
    // What it wrote decodes back to the same directory.
    DecodedLibrary d = decodeText(lib, DecodeMode::Strict);
    ASSERT_TRUE(d.ok());
    std::vector<LibraryEntry> back = d.libraryEntries();
    ASSERT_EQ(back.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(back[i].offset, entries[i].offset);
        EXPECT_EQ(back[i].size, entries[i].size);
        EXPECT_EQ(slideNameText(back[i].name), names[i]);
    }
    std::vector<LibraryEntry> none;
    EXPECT_EQ(encodeLibraryHead(none).size(), EMPTY_LIBRARY_SIZE);
}

} // namespace
