// Prints what the store's operations cost, each beside a baseline measured
// in the same run: listSlides per call for 10, 1 000 and 10 000 slides, and
// appendSlide / deleteSlide on 1 000 slides of 50 KB against `cp` of the
// same library plus an fsync of the copy (both sides pay for durability).
//
//   bench_store [folder]     (default: a fresh folder under /tmp)
#include "store/edit.h"
#include "store/library.h"
#include "store/status.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

void writeLibrary(const std::string& path, std::size_t count, std::size_t slideBytes)
{
    std::string out(32 + 36 * (count + 1), '\0');
    std::memcpy(out.data(), qorvan::LIBRARY_MAGIC, qorvan::LIBRARY_MAGIC_LENGTH);
    std::size_t offset = out.size();
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = "SLIDE" + std::to_string(i);
        std::memcpy(out.data() + 32 + 36 * i, name.data(), name.size());
        for (int b = 0; b < 4; ++b)
            out[32 + 36 * i + 32 + static_cast<std::size_t>(b)]
                = static_cast<char>((offset >> (8 * b)) & 0xff);
        offset += slideBytes;
    }
    std::ofstream f(path, std::ios::binary);
    f << out;
    std::string slide(slideBytes, '\0');
    for (std::size_t i = 0; i < slideBytes; ++i)
        slide[i] = static_cast<char>(i * 31 + 7);
    for (std::size_t i = 0; i < count; ++i)
        f << slide;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The baseline: cp of the library, then the copy made durable.
double copyAndFlush(const std::string& from, const std::string& to)
{
    auto start = Clock::now();
    std::string cmd = "cp '" + from + "' '" + to + "'";
    if (std::system(cmd.c_str()) != 0) std::exit(1);
    int fd = ::open(to.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) std::exit(1);
    ::close(fd);
    double t = seconds(Clock::now() - start);
    fs::remove(to);
    return t;
}

void must(int code, const char* what)
{
    if (code != qorvan::Ok) {
        std::fprintf(stderr, "%s failed: %s\n", what, qorvan::statusMessage());
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string dir;
    if (argc > 1) {
        dir = argv[1];
        fs::create_directories(dir);
    } else {
        char tmpl[] = "/tmp/qorvan-bench-store-XXXXXX";
        if (!::mkdtemp(tmpl)) return 1;
        dir = tmpl;
    }
    std::printf("store benchmark in %s\n\n", dir.c_str());

    std::printf("%-28s %12s\n", "listSlides", "per call");
    for (std::size_t count : { 10u, 1000u, 10000u }) {
        std::string lib = dir + "/list" + std::to_string(count) + ".slb";
        writeLibrary(lib, count, 64);
        int calls = count >= 10000 ? 50 : 500;
        auto start = Clock::now();
        for (int i = 0; i < calls; ++i)
            if (qorvan::listSlides(lib.c_str()).size() != count) return 1;
        std::printf("%6zu slides %21.1f us\n", count, seconds(Clock::now() - start) / calls * 1e6);
    }

    const std::string lib = dir + "/big.slb";
    const std::string slide = dir + "/extra.sld";
    writeLibrary(lib, 1000, 50 * 1024);
    {
        std::ofstream s(slide, std::ios::binary);
        s << std::string(50 * 1024, 'e');
    }
    std::printf("\nrewrite of %s (%.1f MB, 1000 slides of 50 KB), median of 7\n", lib.c_str(),
        static_cast<double>(fs::file_size(lib)) / 1e6);
    std::vector<double> cp, append, del;
    for (int round = 0; round < 7; ++round) {
        cp.push_back(copyAndFlush(lib, dir + "/copy.slb"));
        auto start = Clock::now();
        must(qorvan::appendSlide(lib.c_str(), slide.c_str()), "appendSlide");
        append.push_back(seconds(Clock::now() - start));
        start = Clock::now();
        must(qorvan::deleteSlide(lib.c_str(), "EXTRA"), "deleteSlide");
        del.push_back(seconds(Clock::now() - start));
    }
    double base = median(cp);
    std::printf("%-28s %9.1f ms\n", "cp + fsync (baseline)", base * 1e3);
    std::printf("%-28s %9.1f ms   %.2fx baseline (target <= 1.30x)\n", "appendSlide", median(append) * 1e3,
        median(append) / base);
    std::printf("%-28s %9.1f ms   %.2fx baseline (target <= 1.30x)\n", "deleteSlide", median(del) * 1e3,
        median(del) / base);
    if (argc <= 1) fs::remove_all(dir);
    return 0;
}
