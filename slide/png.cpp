#include "slide/png.h"

#include <libdeflate.h>

#include <array>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <vector>

#include "platform/io.h"
#include "platform/resolve.h"
#include "platform/save_file.h"

namespace qorvan::slide {

namespace {

struct PaletteEntry {
    std::uint8_t red, green, blue;
};

// The pixels as rows: palette indices when the image has at most
// 256 colours (every slide has), else RGB triples.
struct Rows {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t*> rows;
    std::vector<PaletteEntry> palette;
    bool indexed = true;
    int depth = 8; // bits per palette index once packed
    // Alpha per palette entry; empty when every pixel is opaque.
    std::vector<std::uint8_t> alpha;
};

bool indexColours(const RasterSurface& s, Rows& out)
{
    std::unordered_map<ColorRef, std::uint8_t> index;
    ColorRef last = 0;
    std::uint8_t lastIndex = 0;
    bool haveLast = false;
    std::size_t i = 0;
    for (ColorRef c : s.pixels()) {
        if (!haveLast || c != last) {
            auto it = index.find(c);
            if (it == index.end()) {
                if (index.size() == 256) return false;
                it = index.emplace(c, static_cast<std::uint8_t>(index.size())).first;
                out.palette.push_back({static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)),
                                       static_cast<std::uint8_t>(blueOf(c))});
            }
            last = c, lastIndex = it->second, haveLast = true;
        }
        out.bytes[i++] = lastIndex;
    }
    return true;
}

void prepare(const RasterSurface& s, Rows& out)
{
    auto w = static_cast<std::size_t>(s.width()), h = static_cast<std::size_t>(s.height());
    out.bytes.resize(w * h);
    if (!indexColours(s, out)) {
        out.indexed = false;
        out.palette.clear();
        out.bytes.resize(w * h * 3);
        std::size_t i = 0;
        for (ColorRef c : s.pixels()) {
            out.bytes[i++] = static_cast<std::uint8_t>(redOf(c));
            out.bytes[i++] = static_cast<std::uint8_t>(greenOf(c));
            out.bytes[i++] = static_cast<std::uint8_t>(blueOf(c));
        }
    }
    std::size_t stride = out.indexed ? w : w * 3;
    out.rows.resize(h);
    for (std::size_t y = 0; y < h; ++y) out.rows[y] = out.bytes.data() + y * stride;
}

// One row of indices packed DEPTH bits each, first pixel in the high bits.
template <unsigned DEPTH>
void packRow(const std::uint8_t* src, std::uint8_t* dst, std::size_t w)
{
    constexpr std::size_t PER_BYTE = 8 / DEPTH;
    std::size_t full = w / PER_BYTE;
    std::size_t b = 0;
    if constexpr (DEPTH == 1) {
        // Eight indices of 0 or 1 at once: the multiplication gathers the
        // low bit of each byte into the top byte, first pixel highest.
        for (; b < full; ++b, src += 8) {
            std::uint64_t v;
            std::memcpy(&v, src, 8);
            dst[b] = static_cast<std::uint8_t>((v * 0x8040201008040201ull) >> 56);
        }
    }
    for (; b < full; ++b, src += PER_BYTE) {
        unsigned v = 0;
        for (std::size_t k = 0; k < PER_BYTE; ++k) v = (v << DEPTH) | src[k];
        dst[b] = static_cast<std::uint8_t>(v);
    }
    if (std::size_t rest = w % PER_BYTE) {
        unsigned v = 0;
        for (std::size_t k = 0; k < PER_BYTE; ++k) v = (v << DEPTH) | (k < rest ? src[k] : 0u);
        dst[full] = static_cast<std::uint8_t>(v);
    }
}

// Packs palette indices as tightly as the palette allows (a slide of white
// lines on black needs one bit a pixel): less for zlib to read, which is most
// of the time a picture takes.
void pack(Rows& out, std::size_t w, std::size_t h)
{
    if (!out.indexed) return;
    std::size_t n = out.palette.size();
    out.depth = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
    if (out.depth == 8) return;
    const std::size_t perByte = 8 / static_cast<std::size_t>(out.depth), stride = (w + perByte - 1) / perByte;
    // Rows are packed in place, front to back: a packed row never reaches
    // past the start of the unpacked row it comes from.
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* src = out.bytes.data() + y * w;
        std::uint8_t* dst = out.bytes.data() + y * stride;
        if (out.depth == 1) packRow<1>(src, dst, w);
        else if (out.depth == 2) packRow<2>(src, dst, w);
        else packRow<4>(src, dst, w);
        out.rows[y] = dst;
    }
}

void putBig32(std::string& out, std::uint32_t v)
{
    const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                       static_cast<char>(v)};
    out.append(b, 4);
}

// Ends the chunk that starts at `at` in out: eight bytes kept there for its
// length and type, then its data up to the end of out.
void closeChunk(std::string& out, std::size_t at, const char* type)
{
    const std::size_t length = out.size() - at - 8;
    std::string head;
    putBig32(head, static_cast<std::uint32_t>(length));
    head.append(type, 4);
    out.replace(at, 8, head);
    putBig32(out, libdeflate_crc32(0, out.data() + at + 4, length + 4));
}

void chunk(std::string& out, const char* type, const void* data, std::size_t size)
{
    const std::size_t at = out.size();
    out.append(8, '\0');
    if (size) out.append(static_cast<const char*>(data), size);
    closeChunk(out, at, type);
}

// Level 1 of libdeflate packs these pictures (background with thin lines)
// tighter than zlib's run-length mode did, in a fraction of its time; the
// higher levels cost several times as much for a few per cent.
constexpr int DEFLATE_LEVEL = 1;

// The file around one zlib stream, deflated in one call: a PNG's framing is
// a few chunks and a checksum, and the deflating is where its time goes.
bool encode(std::string& out, int width, int height, Rows& rows)
{
    const auto w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    const std::size_t stride
        = rows.indexed ? (w * static_cast<std::size_t>(rows.depth) + 7) / 8 : w * 3;
    // Every row after its filter byte: none for palette indices (lines and
    // runs of one index need no prediction), Sub for colours.
    std::vector<std::uint8_t> raw(h * (stride + 1));
    for (std::size_t y = 0; y < h; ++y) {
        std::uint8_t* d = raw.data() + y * (stride + 1);
        const std::uint8_t* src = rows.rows[y];
        if (rows.indexed) {
            d[0] = 0;
            std::memcpy(d + 1, src, stride);
        } else {
            d[0] = 1;
            for (std::size_t i = 0; i < stride; ++i)
                d[1 + i] = static_cast<std::uint8_t>(src[i] - (i >= 3 ? src[i - 3] : 0));
        }
    }
    libdeflate_compressor* z = libdeflate_alloc_compressor(DEFLATE_LEVEL);
    if (!z) return false;
    out.clear();
    out.append("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    putBig32(ihdr, static_cast<std::uint32_t>(width));
    putBig32(ihdr, static_cast<std::uint32_t>(height));
    ihdr += static_cast<char>(rows.indexed ? rows.depth : 8);
    ihdr += static_cast<char>(rows.indexed ? 3 : 2); // palette or RGB
    ihdr.append(3, '\0'); // deflate, adaptive filtering, no interlace
    chunk(out, "IHDR", ihdr.data(), ihdr.size());
    if (rows.indexed) {
        std::string plte;
        for (const PaletteEntry& c : rows.palette) {
            plte += static_cast<char>(c.red);
            plte += static_cast<char>(c.green);
            plte += static_cast<char>(c.blue);
        }
        chunk(out, "PLTE", plte.data(), plte.size());
        if (!rows.alpha.empty()) chunk(out, "tRNS", rows.alpha.data(), rows.alpha.size());
    }
    const std::size_t bound = libdeflate_zlib_compress_bound(z, raw.size());
    std::unique_ptr<std::uint8_t[]> stream(new (std::nothrow) std::uint8_t[bound]);
    const std::size_t packed = stream ? libdeflate_zlib_compress(z, raw.data(), raw.size(), stream.get(), bound) : 0;
    libdeflate_free_compressor(z);
    if (packed == 0 || packed > 0x7FFFFFFFu) return false;
    chunk(out, "IDAT", stream.get(), packed);
    chunk(out, "IEND", nullptr, 0);
    return true;
}

} // namespace

bool writePng(const RasterSurface& s, const std::string& path) { return writePngTransparent(s, path, nullptr); }

bool writePngTransparent(const RasterSurface& s, const std::string& path, const ColorRef* transparent)
{
    std::string png;
    if (!encodePng(s, png, transparent)) return false;
    // The old picture stays until the new one is complete.
    platform::SaveFile out;
    if (!out.open(platform::resolveForCreate(path))) return false;
    return out.write(png.data(), png.size()) && out.commit();
}

bool encodePng(const RasterSurface& s, std::string& out, const ColorRef* transparent)
{
    if (!s.valid()) return false;
    Rows rows;
    prepare(s, rows);
    if (transparent) {
        // Without a palette there is no index to mark; the caller chose a
        // background no slide colour can equal, so a palette always fits.
        if (!rows.indexed) return false;
        std::size_t i = 0;
        for (ColorRef c : s.pixels()) {
            if (c == *transparent) {
                rows.alpha.assign(rows.palette.size(), 255);
                rows.alpha[rows.bytes[i]] = 0;
                break;
            }
            ++i;
        }
    }
    pack(rows, static_cast<std::size_t>(s.width()), static_cast<std::size_t>(s.height()));
    out.clear();
    return encode(out, s.width(), s.height(), rows);
}

bool encodePng(const IndexedRasterSurface& s, std::string& out, const ColorRef* transparent)
{
    if (!s.valid() || s.overflowed()) return false;
    const auto w = static_cast<std::size_t>(s.width()), h = static_cast<std::size_t>(s.height());
    const auto& px = s.pixels();
    // The palette holds every colour ever drawn; only those still seen go
    // into the file, so the bit depth follows the colours of the picture.
    // Two colours make one bit a pixel however many are seen, so the count
    // is spared for the commonest picture.
    std::array<std::size_t, 256> count{};
    if (s.palette().size() <= 2) count.fill(1);
    else
        for (std::uint8_t v : px) ++count[v];
    std::array<std::uint8_t, 256> remap{};
    Rows rows;
    bool identity = true;
    for (std::size_t i = 0; i < s.palette().size(); ++i) {
        if (!count[i]) {
            identity = false;
            continue;
        }
        remap[i] = static_cast<std::uint8_t>(rows.palette.size());
        ColorRef c = s.palette()[i];
        rows.palette.push_back(
            {static_cast<std::uint8_t>(redOf(c)), static_cast<std::uint8_t>(greenOf(c)), static_cast<std::uint8_t>(blueOf(c))});
        if (transparent && c == *transparent) {
            rows.alpha.assign(s.palette().size(), 255);
            rows.alpha[remap[i]] = 0;
        }
    }
    if (!rows.alpha.empty()) rows.alpha.resize(rows.palette.size());
    const std::size_t n = rows.palette.size();
    rows.depth = n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
    rows.rows.resize(h);
    if (identity && rows.depth == 1 && s.palette().size() <= 2) {
        const std::size_t stride = (w + 7) / 8;
        rows.bytes.resize(stride * h);
        for (std::size_t y = 0; y < h; ++y) {
            packRow<1>(px.data() + y * w, rows.bytes.data() + y * stride, w);
            rows.rows[y] = rows.bytes.data() + y * stride;
        }
    } else if (rows.depth == 8 && identity) {
        // The surface's own rows; the encoder only reads them.
        for (std::size_t y = 0; y < h; ++y) rows.rows[y] = const_cast<std::uint8_t*>(px.data() + y * w);
    } else {
        const std::size_t perByte = 8 / static_cast<std::size_t>(rows.depth), stride = (w + perByte - 1) / perByte;
        rows.bytes.resize(stride * h);
        std::vector<std::uint8_t> line(w);
        for (std::size_t y = 0; y < h; ++y) {
            const std::uint8_t* src = px.data() + y * w;
            std::uint8_t* dst = rows.bytes.data() + y * stride;
            if (rows.depth == 8) {
                for (std::size_t x = 0; x < w; ++x) dst[x] = remap[src[x]];
            } else {
                for (std::size_t x = 0; x < w; ++x) line[x] = remap[src[x]];
                if (rows.depth == 1) packRow<1>(line.data(), dst, w);
                else if (rows.depth == 2) packRow<2>(line.data(), dst, w);
                else packRow<4>(line.data(), dst, w);
            }
            rows.rows[y] = dst;
        }
    }
    out.clear();
    return encode(out, s.width(), s.height(), rows);
}

} // namespace qorvan::slide
