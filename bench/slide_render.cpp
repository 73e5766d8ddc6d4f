// Rendering speed: every real slide at 1024 x 768 into a pixel buffer and to
// PNG, and one synthetic slide of 1 000 000 vectors, each beside sldtoppm
// (PPM written to a file) on the same inputs in the same run.
//
//   bench_slide_render [TESTDATA_DIR] [ROUNDS]
//
// Our figures are in-process; sldtoppm's include starting one process per
// slide, which is how it is used. Prints slides per second, vectors per
// second and the ratios.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "slide/format.h"
#include "slide/png.h"
#include "slide/raster_surface.h"
#include "slide/records.h"
#include "slide/renderer.h"
#include "slide/stream.h"

extern char** environ;

using namespace qorvan::slide;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int WIDTH = 1024;
constexpr int HEIGHT = 768;

struct Input {
    std::string path;
    std::vector<char> bytes;
};

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::vector<char> readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

void render(RasterSurface& surface, const std::vector<char>& bytes)
{
    SlideRenderer renderer;
    renderer.surface = &surface;
    MemoryStream stream(bytes.data(), bytes.size());
    drawSlideStream(renderer, stream);
}

// One sldtoppm run with its output in a file; false when it could not run.
bool runPeer(const std::string& input, const std::string& output)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string xs = std::to_string(WIDTH), ys = std::to_string(HEIGHT);
    const char* argv[] = { "sldtoppm", "-xsize", xs.c_str(), "-ysize", ys.c_str(), input.c_str(), nullptr };
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, "sldtoppm", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A slide of count vectors spread over a 4096 x 3072 area, from a fixed seed.
std::vector<char> syntheticSlide(int count)
{
    std::vector<std::uint8_t> s;
    appendNewSlideHeader(s, 4095, 3071, 0, FILL_FLAG_NONE);
    std::uint32_t state = 12345;
    auto next = [&](unsigned m) {
        state = state * 1103515245u + 12345u;
        return static_cast<std::int32_t>((state >> 8) % m);
    };
    SlideRecord r;
    for (int i = 0; i < count; ++i) {
        if (i % 1000 == 0) {
            r.kind = RecordKind::Colour;
            r.colour = static_cast<std::uint8_t>(next(256));
            encodeRecord(r, ByteOrder::Little, s);
        }
        r.kind = RecordKind::Vector;
        r.from = { next(4096), next(3072) };
        r.to = { std::min(4095, r.from.x + next(64)), std::min(3071, r.from.y + next(64)) };
        encodeRecord(r, ByteOrder::Little, s);
    }
    r.kind = RecordKind::End;
    encodeRecord(r, ByteOrder::Little, s);
    return { s.begin(), s.end() };
}

} // namespace

int main(int argc, char** argv)
{
    std::string dir = argc > 1 ? argv[1] : std::string(QORVAN_TESTDATA_DIR) + "/real";
    int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::vector<Input> inputs;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::string ext = it->path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
            [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (it->is_regular_file() && ext == ".sld")
            inputs.push_back({ it->path().string(), readAll(it->path().string()) });
    }
    if (inputs.empty()) {
        std::printf("no slides under %s\n", dir.c_str());
        return 1;
    }
    std::sort(inputs.begin(), inputs.end(), [](const Input& a, const Input& b) { return a.path < b.path; });
    std::printf("inputs: %zu real slides under %s, rendered at %dx%d, %d rounds\n", inputs.size(),
        dir.c_str(), WIDTH, HEIGHT, rounds);

    auto start = Clock::now();
    for (int r = 0; r < rounds; ++r)
        for (const Input& in : inputs) {
            RasterSurface surface(WIDTH, HEIGHT);
            render(surface, in.bytes);
        }
    double buffer = seconds(start) / rounds;

    const std::string pngPath = "/tmp/qorvan-bench-slide.png";
    start = Clock::now();
    for (int r = 0; r < rounds; ++r)
        for (const Input& in : inputs) {
            RasterSurface surface(WIDTH, HEIGHT);
            render(surface, in.bytes);
            if (!writePng(surface, pngPath)) {
                std::printf("PNG write failed\n");
                return 1;
            }
        }
    double png = seconds(start) / rounds;

    const std::string ppmPath = "/tmp/qorvan-bench-slide.ppm";
    bool peer = true;
    start = Clock::now();
    for (const Input& in : inputs)
        peer = runPeer(in.path, ppmPath) && peer;
    double peerTime = seconds(start);

    const int VECTORS = 1000000;
    std::vector<char> big = syntheticSlide(VECTORS);
    start = Clock::now();
    {
        RasterSurface surface(WIDTH, HEIGHT);
        render(surface, big);
    }
    double bigTime = seconds(start);
    const std::string bigPath = "/tmp/qorvan-bench-1m.sld";
    {
        std::ofstream out(bigPath, std::ios::binary);
        out.write(big.data(), static_cast<std::streamsize>(big.size()));
    }
    start = Clock::now();
    bool bigPeer = runPeer(bigPath, ppmPath);
    double bigPeerTime = seconds(start);

    double n = static_cast<double>(inputs.size());
    std::printf("%-44s %12s %12s\n", "", "seconds", "per second");
    std::printf("%-44s %12.4f %12.1f slides\n", "qorvan: real slides to pixel buffer", buffer, n / buffer);
    std::printf("%-44s %12.4f %12.1f slides\n", "qorvan: real slides to PNG file", png, n / png);
    if (peer)
        std::printf(
            "%-44s %12.4f %12.1f slides\n", "sldtoppm: real slides to PPM file", peerTime, n / peerTime);
    else
        std::printf("sldtoppm: did not run on every slide (is netpbm installed?)\n");
    std::printf("%-44s %12.4f %12.0f vectors\n", "qorvan: 1 000 000 vectors to pixel buffer", bigTime,
        VECTORS / bigTime);
    if (bigPeer)
        std::printf("%-44s %12.4f %12.0f vectors\n", "sldtoppm: 1 000 000 vectors to PPM file", bigPeerTime,
            VECTORS / bigPeerTime);
    if (peer) {
        std::printf("ratio, real corpus, pixel buffer vs sldtoppm: %.1fx faster\n", peerTime / buffer);
        std::printf(
            "ratio, real corpus, PNG vs sldtoppm PPM:      %.1fx faster (target 5x)\n", peerTime / png);
    }
    if (bigPeer)
        std::printf("ratio, 1 000 000 vectors vs sldtoppm:         %.1fx faster\n", bigPeerTime / bigTime);
    std::remove(pngPath.c_str());
    std::remove(ppmPath.c_str());
    std::remove(bigPath.c_str());
    return 0;
}
