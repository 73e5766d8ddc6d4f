// Pictures for people through qorvan: every real slide visible on white,
// smooth and exact drawings of the same lines, parallel runs that write what
// a serial run writes, and the gallery, read back and opened in a browser.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>

#include "store/library.h"
#include "tests/cli/support.h"
#include "tests/slide/slide_builder.h"
#include "tests/support/tempdir.h"

namespace qorvan::testing {
namespace {

    namespace fs = std::filesystem;

    // How dark a pixel is on a white picture, 0 (white) to 255 (black).
    int darkness(std::uint32_t rgba)
    {
        int r = rgba & 0xFF, g = (rgba >> 8) & 0xFF, b = (rgba >> 16) & 0xFF;
        return 255 - (r + g + b) / 3;
    }

    std::string percentDecoded(const std::string& s)
    {
        std::string out;
        for (std::size_t k = 0; k < s.size(); ++k) {
            if (s[k] == '%' && k + 2 < s.size()) {
                out += static_cast<char>(std::stoi(s.substr(k + 1, 2), nullptr, 16));
                k += 2;
            } else {
                out += s[k];
            }
        }
        return out;
    }

    std::vector<std::string> attributeValues(const std::string& html, const std::string& attribute)
    {
        std::vector<std::string> out;
        std::regex re(" " + attribute + "=\"([^\"]*)\"");
        for (std::sregex_iterator it(html.begin(), html.end(), re), end; it != end; ++it)
            out.push_back((*it)[1]);
        return out;
    }

    TEST(CliPictures, EveryRealSlideIsVisibleOnWhite)
    {
        auto slides = realFiles(".sld");
        if (slides.empty()) GTEST_SKIP() << "no real slides in " << QORVAN_TESTDATA_DIR;
        std::vector<std::pair<std::string, std::string>> entries;
        for (std::size_t i = 0; i < slides.size(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "S%03zu", i);
            entries.push_back({ name, readFile(slides[i]) });
        }
        TempDir t;
        t.write("real.slb", makeLibrary(entries));
        for (const char* style : { "exact", "smooth" }) {
            RunResult r = qorvan({ "render", "real", "--all", "-d", style, "--background", "white", "--fit",
                                     "drawing", "--style", style, "--size", "160x120" },
                t.str());
            ASSERT_EQ(r.status, 0) << r.err;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                Image img = readPng(t.str(std::string(style) + "/" + entries[i].first + ".png"));
                ASSERT_EQ(img.width, 160u) << slides[i];
                std::size_t ink = std::count_if(
                    img.rgba.begin(), img.rgba.end(), [](std::uint32_t p) { return darkness(p) > 64; });
                if (ink > 20) continue;
                // Only a slide that draws nothing may be blank.
                t.write("s.sld", entries[i].second);
                RunResult info = qorvan({ "info", "s" }, t.str());
                EXPECT_EQ(info.out.find("drawn extent: x"), std::string::npos)
                    << slides[i] << " (" << style << ") is (nearly) blank on white";
            }
        }
    }

    // The same slide, exact and smooth: every exact pixel has smooth ink within
    // a pixel, and every clearly inked smooth pixel has an exact pixel within a
    // pixel: one drawing, edges no more than a pixel apart.
    TEST(CliPictures, SmoothAndExactCoverTheSamePixels)
    {
        auto slides = realFiles(".sld");
        if (slides.empty()) GTEST_SKIP() << "no real slides";
        TempDir t;
        std::size_t compared = 0;
        for (std::size_t i = 0; i < slides.size(); i += std::max<std::size_t>(1, slides.size() / 12)) {
            t.write("s.sld", readFile(slides[i]));
            for (const char* style : { "exact", "smooth" })
                ASSERT_EQ(qorvan({ "render", "s", "-o", std::string(style) + ".png", "--background", "white",
                                     "--fit", "drawing", "--style", style, "--size", "320x240" },
                              t.str())
                              .status,
                    0);
            Image e = readPng(t.str("exact.png")), s = readPng(t.str("smooth.png"));
            ASSERT_EQ(e.rgba.size(), s.rgba.size());
            const int w = static_cast<int>(e.width), h = static_cast<int>(e.height);
            auto near = [&](const Image& img, int x, int y, int threshold) {
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        int xx = x + dx, yy = y + dy;
                        if (xx >= 0 && yy >= 0 && xx < w && yy < h
                            && darkness(img.rgba[yy * w + xx]) > threshold)
                            return true;
                    }
                return false;
            };
            std::size_t exactInk = 0, exactMissed = 0, smoothInk = 0, smoothStray = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    if (darkness(e.rgba[y * w + x]) > 0) {
                        ++exactInk;
                        if (!near(s, x, y, 8)) ++exactMissed;
                    }
                    if (darkness(s.rgba[y * w + x]) > 128) {
                        ++smoothInk;
                        if (!near(e, x, y, 0)) ++smoothStray;
                    }
                }
            EXPECT_LE(exactMissed, exactInk / 200)
                << slides[i] << ": exact pixels without smooth ink near them";
            EXPECT_LE(smoothStray, smoothInk / 200)
                << slides[i] << ": smooth ink away from the exact drawing";
            ++compared;
        }
        EXPECT_GE(compared, 6u);
    }

    // Letters drawn as vectors, shrunk to a 128-pixel picture: the smooth style
    // stays closer to the ideal picture (the same drawing eight times larger,
    // averaged down) than one-pixel lines do.
    TEST(CliPictures, SmoothTextAt128PixelsIsNearerTheIdeal)
    {
        // "HELLO" as strokes in a 1000 x 250 slide.
        SlideBytes b = SlideBytes::newForm(1000, 250);
        auto stroke = [&](int x1, int y1, int x2, int y2) { b.vector(x1, y1, x2, y2); };
        int x = 20;
        for (int letter = 0; letter < 5; ++letter, x += 190) {
            const int l = x, r = x + 150, bot = 30, top = 220, mid = 125;
            switch (letter) {
            case 0:
                stroke(l, bot, l, top), stroke(r, bot, r, top), stroke(l, mid, r, mid);
                break;
            case 1:
                stroke(l, bot, l, top), stroke(l, top, r, top), stroke(l, mid, r - 30, mid),
                    stroke(l, bot, r, bot);
                break;
            case 2:
            case 3:
                stroke(l, bot, l, top), stroke(l, bot, r, bot);
                break;
            default:
                stroke(l, bot, l, top), stroke(l, top, r, top), stroke(r, top, r, bot),
                    stroke(r, bot, l, bot);
                break;
            }
        }
        TempDir t;
        t.write("hello.sld", b.end().b);
        for (auto [style, size, out] :
            { std::tuple { "exact", "128x32", "exact.png" }, std::tuple { "smooth", "128x32", "smooth.png" },
                std::tuple { "exact", "1024x256", "big.png" } })
            ASSERT_EQ(qorvan({ "render", "hello", "-o", out, "--background", "white", "--style", style,
                                 "--size", size },
                          t.str())
                          .status,
                0);
        Image exact = readPng(t.str("exact.png")), smooth = readPng(t.str("smooth.png")),
              big = readPng(t.str("big.png"));
        ASSERT_EQ(big.width, 1024u);
        // The ideal: each 8 x 8 block of the large picture averaged, its lines
        // thickened to 8 pixels first so that they are one small pixel wide.
        std::vector<double> ideal(128 * 32);
        for (int y = 0; y < 32; ++y)
            for (int xx = 0; xx < 128; ++xx) {
                double sum = 0;
                for (int dy = 0; dy < 8; ++dy)
                    for (int dx = 0; dx < 8; ++dx) {
                        int bx = xx * 8 + dx, by = y * 8 + dy;
                        bool ink = false;
                        for (int k = -4; k < 4 && !ink; ++k)
                            ink = (bx + k >= 0 && bx + k < 1024 && darkness(big.rgba[by * 1024 + bx + k]) > 0)
                                || (by + k >= 0 && by + k < 256
                                    && darkness(big.rgba[(by + k) * 1024 + bx]) > 0);
                        sum += ink ? 255 : 0;
                    }
                ideal[y * 128 + xx] = sum / 64;
            }
        auto error = [&](const Image& img) {
            double e = 0;
            for (std::size_t i = 0; i < ideal.size(); ++i)
                e += std::abs(darkness(img.rgba[i]) - ideal[i]);
            return e / static_cast<double>(ideal.size());
        };
        double exactError = error(exact), smoothError = error(smooth);
        EXPECT_LT(smoothError, exactError * 0.8) << "smooth " << smoothError << ", exact " << exactError;
        // And the letters are there at all: as much ink, within a factor of two.
        double inkIdeal = 0, inkSmooth = 0;
        for (std::size_t i = 0; i < ideal.size(); ++i)
            inkIdeal += ideal[i], inkSmooth += darkness(smooth.rgba[i]);
        EXPECT_GT(inkSmooth, inkIdeal / 2);
        EXPECT_LT(inkSmooth, inkIdeal * 2);
    }

    TEST(CliPictures, SmoothAndFitWorkForSvgToo)
    {
        TempDir t;
        t.write("plan.sld",
            SlideBytes::newForm(1000, 500).vector(100, 100, 300, 200).vector(300, 200, 300, 100).end().b);
        RunResult r = qorvan(
            { "render", "plan", "-o", "p.svg", "--style", "smooth", "--fit", "drawing", "--size", "200x100" },
            t.str());
        ASSERT_EQ(r.status, 0) << r.err;
        std::string doc = readFile(t.path() / "p.svg");
        ASSERT_TRUE(wellFormed(doc)) << doc;
        EXPECT_EQ(doc.find("crispEdges"), std::string::npos);
        // Two joined lines make one path of three points, spread over the
        // picture: x from near the margin to near the far side.
        std::smatch m;
        ASSERT_TRUE(std::regex_search(
            doc, m, std::regex("<path d=\"M([0-9.]+) ([0-9.]+)L([0-9.]+) ([0-9.]+)L([0-9.]+) ([0-9.]+)\"")))
            << doc;
        double x0 = std::stod(m[1]), x1 = std::stod(m[3]);
        EXPECT_LT(x0, 60);
        EXPECT_GT(x1, 140);
    }

    TEST(CliParallel, ManyJobsWriteWhatOneJobWrites)
    {
        std::vector<std::pair<std::string, std::string>> slides;
        for (const auto& f : realFiles(".sld")) {
            if (slides.size() >= 40) break;
            slides.push_back({ f.stem().string(), readFile(f) });
        }
        for (int i = 0; slides.size() < 48; ++i)
            slides.push_back({ "S" + std::to_string(i),
                SlideBytes::newForm(200, 100, i % 2).vector(i, 0, 200 - i, 100).end().b });
        slides.push_back({ "S0", slides[0].second }); // a duplicate name
        TempDir t;
        t.write("lib.slb", makeLibrary(slides));
        auto files = [&](const std::string& dir) {
            std::map<std::string, std::string> out;
            for (const auto& e : fs::recursive_directory_iterator(t.path() / dir))
                if (e.is_regular_file())
                    out[fs::relative(e.path(), t.path() / dir).string()] = readFile(e.path());
            return out;
        };
        struct {
            std::vector<std::string> args;
        } runs[] = {
            { { "render", "lib", "--all", "--size", "96x64" } },
            { { "render", "lib", "--all", "--format", "svg", "--size", "96x64", "--style", "smooth" } },
            { { "render", "lib", "--all", "--style", "smooth", "--fit", "drawing", "--background", "white",
                "--size", "96x64" } },
            { { "gallery", "lib", "--size", "64x48" } },
            { { "convert", "lib", "--all", "--form", "old", "--byte-order", "big" } },
        };
        for (const auto& run : runs) {
            std::vector<std::string> one = run.args, many = run.args;
            one.insert(one.end(), { "-d", "one", "-j", "1" });
            many.insert(many.end(), { "-d", "many", "-j", "4" });
            fs::remove_all(t.path() / "one");
            fs::remove_all(t.path() / "many");
            RunResult a = qorvan(one, t.str()), b = qorvan(many, t.str());
            ASSERT_EQ(a.status, 0) << a.err;
            EXPECT_EQ(b.status, a.status);
            EXPECT_EQ(b.err, a.err) << "messages come in the same order";
            auto fa = files("one"), fb = files("many");
            EXPECT_GE(fa.size(), slides.size());
            EXPECT_TRUE(fa == fb) << run.args[0] << " " << run.args.back() << ": " << fa.size() << " against "
                                  << fb.size() << " files";
        }
        // The last run above was convert: each file is what converting that
        // slide by itself writes.
        RunResult c = qorvan(
            { "convert", "lib(S1)", "--form", "old", "--byte-order", "big", "-o", "s1.sld" }, t.str());
        ASSERT_EQ(c.status, 0) << c.err;
        EXPECT_EQ(readFile(t.path() / "one" / "S1.sld"), readFile(t.path() / "s1.sld"));
        EXPECT_TRUE(fs::exists(t.path() / "one" / "S0~1.sld"));
    }

    TEST(CliGallery, LibrariesSlidesAndFoldersWithThumbnailsAndLinks)
    {
        TempDir t;
        std::string plan = SlideBytes::newForm(300, 200).vector(0, 0, 300, 200).end().b;
        t.write("mine.slb", makeLibrary({ { "PLAN", plan }, { "A&B", plan } }));
        fs::create_directories(t.path() / "loose/deeper");
        t.write("loose/one.sld", plan);
        t.write("loose/deeper/two.SLD", plan);
        t.write("loose/deeper/bad.slb", "not a library");
        std::size_t realCount = 0;
        std::vector<std::string> args = { "gallery", "mine", "loose" };
        auto libs = realFiles(".slb");
        for (std::size_t i = 0; i < libs.size(); ++i) {
            std::string name = "real" + std::to_string(i) + ".slb";
            t.write(name, readFile(libs[i]));
            args.push_back(name);
            realCount += readDirectory(t.str(name).c_str()).size();
        }
        args.insert(args.end(), { "-d", "sheet" });
        RunResult r = qorvan(args, t.str());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("bad.slb: not a slide library"), std::string::npos) << r.err;
        std::string index = readFile(t.path() / "sheet/index.html");
        EXPECT_TRUE(wellFormed(index.substr(index.find("<html")))) << "the page closes what it opens";
        std::vector<std::string> images = attributeValues(index, "src"),
                                 links = attributeValues(index, "href");
        EXPECT_EQ(images.size(), 4 + realCount);
        for (const std::string& src : images) {
            Image thumb = readPng(t.str("sheet/" + percentDecoded(src)));
            EXPECT_EQ(thumb.width, 256u) << src;
            EXPECT_EQ(thumb.height, 192u) << src;
        }
        std::size_t svgs = 0;
        for (const std::string& href : links) {
            if (href[0] == '#') continue;
            ++svgs;
            EXPECT_TRUE(wellFormed(readFile(t.path() / "sheet" / percentDecoded(href)))) << href;
        }
        EXPECT_EQ(svgs, images.size());
        EXPECT_NE(index.find("loading=\"lazy\""), std::string::npos);
        EXPECT_NE(index.find("<figcaption>A&amp;B</figcaption>"), std::string::npos);
        // Headings name what was given, relative to where qorvan ran.
        for (const char* heading : { "<h2>mine.slb ", "<h2>loose ", "<h2>loose/deeper " })
            EXPECT_NE(index.find(heading), std::string::npos) << heading;
        EXPECT_EQ(index.find(t.str()), std::string::npos) << "no absolute paths";

        RunResult alias = qorvan({ "gallery", "loose", "-o", "old" }, t.str());
        EXPECT_EQ(alias.status, 0) << "-o stays an alias of -d";
        EXPECT_TRUE(fs::exists(t.path() / "old/index.html"));
        RunResult missing = qorvan({ "gallery", "nosuch", "-d", "x" }, t.str());
        EXPECT_EQ(missing.status, 1);
        EXPECT_NE(missing.err.find("nosuch"), std::string::npos) << missing.err;
    }

    std::string browser()
    {
        for (const char* name : { "chromium", "chromium-browser", "google-chrome" }) {
            std::string probe = std::string("command -v ") + name + " >/dev/null 2>&1";
            if (std::system(probe.c_str()) == 0) return name;
        }
        return "";
    }

    // The DOM of a page after it has loaded and run its script.
    std::string dumpDom(const std::string& browserName, const std::string& url, const std::string& profile)
    {
        RunResult r = run("/usr/bin/env",
            { browserName, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--user-data-dir=" + profile, "--window-size=1400,3000", "--virtual-time-budget=5000",
                "--dump-dom", url });
        return r.out;
    }

    TEST(CliGallery, OpensInABrowserAndFilters)
    {
        const std::string b = browser();
        if (b.empty()) GTEST_SKIP() << "no chromium installed";
        TempDir t;
        std::vector<std::pair<std::string, std::string>> slides;
        for (const char* name : { "BOLT", "NUT", "WASHER", "BOLT2" })
            slides.push_back({ name, SlideBytes::newForm(300, 200).vector(0, 0, 300, 200).end().b });
        t.write("parts.slb", makeLibrary(slides));
        t.write("plan.sld", SlideBytes::newForm(300, 200).vector(0, 200, 300, 0).end().b);
        ASSERT_EQ(
            qorvan({ "gallery", "parts", "plan.sld", "-d", "sheet", "--size", "96x72" }, t.str()).status, 0);
        fs::create_directories(t.path() / "profile");
        const std::string page = "file://" + t.str("sheet/index.html");

        std::string all = dumpDom(b, page, t.str("profile"));
        ASSERT_NE(all.find("<figure"), std::string::npos)
            << "the browser gave no page: " << all.substr(0, 400);
        std::regex figure("<figure([^>]*)>");
        std::size_t figures = 0, loaded = 0, hidden = 0;
        for (std::sregex_iterator it(all.begin(), all.end(), figure), end; it != end; ++it) {
            std::string attrs = (*it)[1];
            ++figures;
            if (attrs.find("loaded") != std::string::npos) ++loaded;
            if (attrs.find("hidden") != std::string::npos) ++hidden;
        }
        EXPECT_EQ(figures, 5u);
        EXPECT_EQ(loaded, 5u) << "every thumbnail arrived";
        EXPECT_EQ(hidden, 0u);
        EXPECT_NE(all.find("5 of 5 slides shown"), std::string::npos);

        std::string filtered = dumpDom(b, page + "#filter=bolt", t.str("profile"));
        std::regex shown("<figure data-name=\"([^\"]*)\"(?: class=\"[^\"]*\")?>");
        std::vector<std::string> visible;
        for (std::sregex_iterator it(filtered.begin(), filtered.end(), shown), end; it != end; ++it)
            visible.push_back((*it)[1]);
        EXPECT_EQ(visible, (std::vector<std::string> { "bolt", "bolt2" })) << filtered.substr(0, 2000);
        EXPECT_NE(filtered.find("2 of 5 slides shown"), std::string::npos);
        // The section of the loose slide has nothing left to show.
        EXPECT_NE(filtered.find("<section id=\"s1\" data-title=\".\" hidden"), std::string::npos)
            << filtered.substr(0, 3000);
    }

} // namespace
} // namespace qorvan::testing
