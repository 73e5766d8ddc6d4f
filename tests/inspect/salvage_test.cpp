// Salvage against a table of damage, applied with a fixed seed to every real
// library and to libraries made of real and hand-made slides: every slide
// whose bytes survive must come back byte for byte.
#include <gtest/gtest.h>

#include <random>

#include "inspect/library_layout.h"
#include "inspect/salvage.h"
#include "inspect/text_form.h"
#include "tests/inspect/files.h"

namespace qorvan::inspect {
namespace {

    using Bytes = std::vector<std::uint8_t>;

    struct Library {
        std::string label;
        Bytes bytes;
    };

    Bytes handSlide(int i)
    {
        std::string text = "qorvan-slide 1\nxdots " + std::to_string(100 + i) + "\nydots 80\ncolour "
            + std::to_string(i % 256) + "\n";
        for (int k = 0; k <= i % 7; ++k)
            text += "vector " + std::to_string(k) + " " + std::to_string(i) + " 50 60\noffset 1 -2 3 4\n";
        text += "fill second=0xfffe 10,10 20,10 15,30\nend\n";
        BuildResult r = buildFromText(text);
        EXPECT_TRUE(r.ok) << r.error.message;
        return r.bytes;
    }

    std::vector<Library> libraries()
    {
        std::vector<Library> out;
        std::vector<std::string> names;
        std::vector<Bytes> slides;
        for (int i = 0; i < 12; ++i) {
            names.push_back("HAND_" + std::to_string(i));
            slides.push_back(handSlide(i));
        }
        out.push_back({ "hand-made", encodeLibrary(names, slides) });
        std::vector<Bytes> seen;
        for (const auto& p : testing::realSlideFiles(".slb")) {
            Bytes b = testing::readBytes(p);
            if (std::find(seen.begin(), seen.end(), b) != seen.end()) continue; // the same library twice
            seen.push_back(b);
            out.push_back({ p.string(), b });
        }
        names.clear();
        slides.clear();
        std::size_t k = 0;
        for (const auto& p : testing::realSlideFiles(".sld")) {
            if (k++ % 6) continue; // every sixth: a library of about 23 real slides
            std::string name = p.stem().string().substr(0, 31);
            for (char& c : name)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (std::find(names.begin(), names.end(), name) != names.end()) continue;
            names.push_back(name);
            slides.push_back(testing::readBytes(p));
        }
        if (!names.empty()) out.push_back({ "real slides", encodeLibrary(names, slides) });
        return out;
    }

    struct Original {
        std::string name;
        std::size_t offset;
        Bytes bytes;
    };

    std::vector<Original> slidesOf(const Bytes& library)
    {
        std::vector<Original> out;
        LibraryLayout l = decodeLibraryLayout(library.data(), library.size());
        for (const LayoutEntry& e : l.entries) {
            const auto begin = static_cast<std::size_t>(e.offset);
            out.push_back({ e.name, begin,
                Bytes(library.begin() + static_cast<long>(begin),
                    library.begin() + static_cast<long>(begin + static_cast<std::size_t>(e.size))) });
        }
        return out;
    }

    enum class Damage {
        Truncate,
        ZeroRange,
        OverwriteHeader,
        ShuffleOffsets,
        OverwriteTerminator,
        CutTerminator,
        OverwriteDirectory
    };

    struct DamageCase {
        Damage kind;
        const char* name;
        bool namesSurvive; // the directory is whole, so intact slides keep their names
    };

    const DamageCase DAMAGE[] = {
        { Damage::Truncate, "truncated", true },
        { Damage::ZeroRange, "a range zeroed", false },
        { Damage::OverwriteHeader, "header overwritten", true },
        { Damage::ShuffleOffsets, "offsets shuffled", false },
        { Damage::OverwriteTerminator, "terminator overwritten", true },
        { Damage::CutTerminator, "terminator cut out", true },
        { Damage::OverwriteDirectory, "directory partly overwritten", false },
    };

    // The damaged file, and where each original byte now is (-1: gone).
    struct Damaged {
        Bytes bytes;
        long shift = 0; // bytes from the terminator on moved by this
        std::size_t shiftFrom = 0; // ... starting at this original offset
    };

    Damaged damage(const Bytes& original, Damage kind, std::mt19937& rng)
    {
        Damaged d { original };
        Bytes& b = d.bytes;
        LibraryLayout l = decodeLibraryLayout(original.data(), original.size());
        auto pick = [&](std::size_t n) { return n ? static_cast<std::size_t>(rng() % n) : 0; };
        switch (kind) {
        case Damage::Truncate:
            b.resize(pick(b.size()));
            break;
        case Damage::ZeroRange: {
            std::size_t at = pick(b.size()), n = 1 + pick(400);
            for (std::size_t i = at; i < std::min(b.size(), at + n); ++i)
                b[i] = 0;
            break;
        }
        case Damage::OverwriteHeader:
            for (std::size_t i = 0; i < 32; ++i)
                b[i] = static_cast<std::uint8_t>(rng());
            break;
        case Damage::ShuffleOffsets: {
            std::vector<std::int32_t> offsets;
            for (const LayoutEntry& e : l.entries)
                offsets.push_back(e.offset);
            std::shuffle(offsets.begin(), offsets.end(), rng);
            for (std::size_t i = 0; i < l.entries.size(); ++i)
                for (int k = 0; k < 4; ++k)
                    b[l.entries[i].at + 32 + static_cast<std::size_t>(k)]
                        = static_cast<std::uint8_t>(static_cast<std::uint32_t>(offsets[i]) >> (8 * k));
            break;
        }
        case Damage::OverwriteTerminator:
            for (std::size_t i = 0; i < 36; ++i)
                b[l.terminatorAt + i] = static_cast<std::uint8_t>(0x41 + rng() % 26);
            break;
        case Damage::CutTerminator:
            b.erase(b.begin() + static_cast<long>(l.terminatorAt),
                b.begin() + static_cast<long>(l.terminatorAt + 36));
            d.shift = -36;
            d.shiftFrom = l.terminatorAt;
            break;
        case Damage::OverwriteDirectory: {
            const std::size_t end = l.terminatorAt + 36;
            std::size_t at = 32 + pick(end - 32), n = 1 + pick(end - at);
            for (std::size_t i = at; i < at + n; ++i)
                b[i] = static_cast<std::uint8_t>(rng());
            break;
        }
        }
        return d;
    }

    // Intact: every byte of the slide is still there, unchanged.
    bool intact(const Original& s, const Damaged& d, const Bytes& original)
    {
        const long at = static_cast<long>(s.offset) + (s.offset >= d.shiftFrom ? d.shift : 0);
        if (at < 0 || static_cast<std::size_t>(at) + s.bytes.size() > d.bytes.size()) return false;
        return std::equal(s.bytes.begin(), s.bytes.end(), d.bytes.begin() + at) && !s.bytes.empty()
            && !original.empty();
    }

    TEST(Salvage, EveryIntactSlideComesBackByteForByte)
    {
        std::mt19937 rng(20261208);
        std::size_t checked = 0, recoveredIntact = 0;
        for (const Library& lib : libraries()) {
            const std::vector<Original> originals = slidesOf(lib.bytes);
            ASSERT_FALSE(originals.empty()) << lib.label;
            for (const DamageCase& dc : DAMAGE) {
                for (int round = 0; round < 12; ++round) {
                    Damaged d = damage(lib.bytes, dc.kind, rng);
                    SalvageReport report = salvageLibrary(d.bytes.data(), d.bytes.size());
                    for (const Original& s : originals) {
                        if (!intact(s, d, lib.bytes)) continue;
                        ++checked;
                        auto found = std::find_if(report.slides.begin(), report.slides.end(),
                            [&](const RecoveredSlide& r) { return r.bytes == s.bytes; });
                        ASSERT_NE(found, report.slides.end())
                            << lib.label << ", " << dc.name << " (round " << round << "): intact slide "
                            << s.name << " at byte " << s.offset << " was not recovered byte for byte";
                        ++recoveredIntact;
                        if (dc.namesSurvive) {
                            EXPECT_EQ(found->name, s.name)
                                << lib.label << ", " << dc.name << " (round " << round << ")";
                        }
                    }
                    for (const RecoveredSlide& r : report.slides)
                        EXPECT_LE(r.name.size(), 31u);
                }
            }
        }
        EXPECT_GT(checked, 100u);
        EXPECT_EQ(recoveredIntact, checked);
    }

    TEST(Salvage, ReportsWhatItRepairedAndWhatItCouldNot)
    {
        std::vector<Bytes> slides = { handSlide(1), handSlide(2), handSlide(3) };
        Bytes lib = encodeLibrary({ "ONE", "TWO", "THREE" }, slides);
        const std::size_t second = 32 + 36 * 4 + slides[0].size();
        Bytes damaged = lib;
        damaged[second + 2] = 'x'; // the second slide's signature, nothing else
        damaged.resize(lib.size() - 3); // and the third cut inside its end record
        SalvageReport r = salvageLibrary(damaged.data(), damaged.size());
        ASSERT_EQ(r.slides.size(), 3u);
        EXPECT_EQ(r.slides[0].state, RecoveredState::Whole);
        EXPECT_EQ(r.slides[0].bytes, slides[0]);
        EXPECT_EQ(r.slides[1].state, RecoveredState::Repaired);
        EXPECT_EQ(r.slides[1].bytes, slides[1]); // only the signature was hit
        EXPECT_EQ(r.slides[1].name, "TWO");
        EXPECT_EQ(r.slides[2].state, RecoveredState::Partial);
        EXPECT_EQ(r.slides[2].name, "THREE");
        // The cut slide keeps its whole records and gets an end record.
        const Bytes& cut = r.slides[2].bytes;
        ASSERT_GE(cut.size(), 2u);
        EXPECT_EQ(cut[cut.size() - 1], 0xFC);
        EXPECT_LT(cut.size(), slides[2].size());
    }

    TEST(Salvage, NamesWithoutADirectoryAndBytesAfterAnEndRecord)
    {
        std::vector<Bytes> slides = { handSlide(4), handSlide(5) };
        slides[0].push_back(0x55); // bytes after the end record belong to the slide in a library
        slides[0].push_back(0x66);
        Bytes lib = encodeLibrary({ "A", "B" }, slides);
        SalvageReport whole = salvageLibrary(lib.data(), lib.size());
        ASSERT_EQ(whole.slides.size(), 2u);
        EXPECT_EQ(whole.slides[0].bytes, slides[0]);
        Bytes noDirectory = lib;
        std::fill(noDirectory.begin(), noDirectory.begin() + 32 + 36 * 3, 0);
        SalvageReport r = salvageLibrary(noDirectory.data(), noDirectory.size());
        ASSERT_EQ(r.slides.size(), 2u);
        EXPECT_EQ(r.slides[0].name, "RECOVERED_0001");
        EXPECT_EQ(r.slides[1].name, "RECOVERED_0002");
        EXPECT_EQ(r.slides[1].bytes, slides[1]);
        // Without the directory the two bytes cannot be told from a gap: they are
        // reported, not guessed into the slide.
        EXPECT_EQ(r.slides[0].bytes.size(), slides[0].size() - 2);
        bool reported = false;
        for (const std::string& n : r.notes)
            reported = reported || n.find("(2)") != std::string::npos;
        EXPECT_TRUE(reported);
    }

} // namespace
} // namespace qorvan::inspect
