#include "slide/png.h"

#include <png.h>
#include <zlib.h>

#include <array>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/io.h"
#include "platform/large_pages.h"
#include "platform/resolve.h"
#include "platform/save_file.h"

namespace qorvan::slide {

namespace {

    void writeData(png_structp png, png_bytep data, png_size_t length)
    {
        static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
    }

    void flushData(png_structp)
    {
    }

    // The pixels as rows for libpng: palette indices when the image has at most
    // 256 colours (every slide has), else RGB triples.
    struct Rows {
        std::vector<png_byte> bytes;
        std::vector<png_bytep> rows;
        std::vector<png_color> palette;
        bool indexed = true;
        int depth = 8; // bits per palette index once packed
        // Alpha per palette entry; empty when every pixel is opaque.
        std::vector<png_byte> alpha;
        // Instead of rows: one-bit indices, one byte each, packed a row at a
        // time into line as they are written, so that no packed copy of the
        // whole picture is made (its pages cost more than the packing).
        const std::uint8_t* unpacked = nullptr;
        std::vector<png_byte> line;
    };

    bool indexColours(const RasterSurface& s, Rows& out)
    {
        std::unordered_map<ColorRef, png_byte> index;
        ColorRef last = 0;
        png_byte lastIndex = 0;
        bool haveLast = false;
        std::size_t i = 0;
        for (ColorRef c : s.pixels()) {
            if (!haveLast || c != last) {
                auto it = index.find(c);
                if (it == index.end()) {
                    if (index.size() == 256) return false;
                    it = index.emplace(c, static_cast<png_byte>(index.size())).first;
                    out.palette.push_back({ static_cast<png_byte>(redOf(c)),
                        static_cast<png_byte>(greenOf(c)), static_cast<png_byte>(blueOf(c)) });
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
                out.bytes[i++] = static_cast<png_byte>(redOf(c));
                out.bytes[i++] = static_cast<png_byte>(greenOf(c));
                out.bytes[i++] = static_cast<png_byte>(blueOf(c));
            }
        }
        std::size_t stride = out.indexed ? w : w * 3;
        out.rows.resize(h);
        for (std::size_t y = 0; y < h; ++y)
            out.rows[y] = out.bytes.data() + y * stride;
    }

    // One row of indices packed DEPTH bits each, first pixel in the high bits.
    template <unsigned DEPTH> void packRow(const png_byte* src, png_byte* dst, std::size_t w)
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
                dst[b] = static_cast<png_byte>((v * 0x8040201008040201ull) >> 56);
            }
        }
        for (; b < full; ++b, src += PER_BYTE) {
            unsigned v = 0;
            for (std::size_t k = 0; k < PER_BYTE; ++k)
                v = (v << DEPTH) | src[k];
            dst[b] = static_cast<png_byte>(v);
        }
        if (std::size_t rest = w % PER_BYTE) {
            unsigned v = 0;
            for (std::size_t k = 0; k < PER_BYTE; ++k)
                v = (v << DEPTH) | (k < rest ? src[k] : 0u);
            dst[full] = static_cast<png_byte>(v);
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
        const std::size_t perByte = 8 / static_cast<std::size_t>(out.depth),
                          stride = (w + perByte - 1) / perByte;
        // Rows are packed in place, front to back: a packed row never reaches
        // past the start of the unpacked row it comes from.
        for (std::size_t y = 0; y < h; ++y) {
            const png_byte* src = out.bytes.data() + y * w;
            png_byte* dst = out.bytes.data() + y * stride;
            if (out.depth == 1)
                packRow<1>(src, dst, w);
            else if (out.depth == 2)
                packRow<2>(src, dst, w);
            else
                packRow<4>(src, dst, w);
            out.rows[y] = dst;
        }
    }

    // zlib's tables (a quarter of a megabyte, most of it cleared or filled
    // for every picture) are the bulk of libpng's memory; in one large page
    // they cost one fault instead of about sixty.
    png_voidp scratchAllocate(png_structp png, png_alloc_size_t bytes)
    {
        return static_cast<platform::ScratchArena*>(png_get_mem_ptr(png))->allocate(bytes);
    }

    void scratchRelease(png_structp png, png_voidp p)
    {
        static_cast<platform::ScratchArena*>(png_get_mem_ptr(png))->release(p);
    }

    // libpng reports errors by longjmp; nothing with a destructor may live
    // between setjmp and the calls that can fail, so the rows and the arena
    // are made first.
    bool encode(std::string& out, int width, int height, Rows& rows, platform::ScratchArena& arena)
    {
        png_structp png = png_create_write_struct_2(
            PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr, &arena, scratchAllocate, scratchRelease);
        if (!png) return false;
        png_infop info = png_create_info_struct(png);
        if (!info || setjmp(png_jmpbuf(png))) {
            png_destroy_write_struct(&png, &info);
            return false;
        }
        png_set_write_fn(png, &out, writeData, flushData);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), rows.depth,
            rows.indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
            PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (rows.indexed) png_set_PLTE(png, info, rows.palette.data(), static_cast<int>(rows.palette.size()));
        if (rows.indexed && !rows.alpha.empty())
            png_set_tRNS(png, info, rows.alpha.data(), static_cast<int>(rows.alpha.size()), nullptr);
        // Slides are mostly background with thin lines: run-length coding packs
        // them about as tightly as the default settings at a fraction of the time.
        png_set_compression_level(png, 1);
        png_set_compression_strategy(png, Z_RLE);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, rows.indexed ? PNG_FILTER_NONE : PNG_FILTER_SUB);
        png_write_info(png, info);
        if (rows.unpacked) {
            for (std::size_t y = 0, w = static_cast<std::size_t>(width); y < static_cast<std::size_t>(height);
                 ++y) {
                packRow<1>(rows.unpacked + y * w, rows.line.data(), w);
                png_write_row(png, rows.line.data());
            }
        } else {
            png_write_image(png, rows.rows.data());
        }
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        return true;
    }

} // namespace

bool writePng(const RasterSurface& s, const std::string& path)
{
    return writePngTransparent(s, path, nullptr);
}

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
    platform::ScratchArena arena;
    return encode(out, s.width(), s.height(), rows, arena);
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
    std::array<std::size_t, 256> count {};
    if (s.palette().size() <= 2)
        count.fill(1);
    else
        for (std::uint8_t v : px)
            ++count[v];
    std::array<png_byte, 256> remap {};
    Rows rows;
    bool identity = true;
    for (std::size_t i = 0; i < s.palette().size(); ++i) {
        if (!count[i]) {
            identity = false;
            continue;
        }
        remap[i] = static_cast<png_byte>(rows.palette.size());
        ColorRef c = s.palette()[i];
        rows.palette.push_back({ static_cast<png_byte>(redOf(c)), static_cast<png_byte>(greenOf(c)),
            static_cast<png_byte>(blueOf(c)) });
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
        rows.unpacked = px.data();
        rows.line.resize((w + 7) / 8);
    } else if (rows.depth == 8 && identity) {
        // The surface's own rows; libpng only reads them.
        for (std::size_t y = 0; y < h; ++y)
            rows.rows[y] = const_cast<png_byte*>(px.data() + y * w);
    } else {
        const std::size_t perByte = 8 / static_cast<std::size_t>(rows.depth),
                          stride = (w + perByte - 1) / perByte;
        rows.bytes.resize(stride * h);
        std::vector<png_byte> line(w);
        for (std::size_t y = 0; y < h; ++y) {
            const std::uint8_t* src = px.data() + y * w;
            png_byte* dst = rows.bytes.data() + y * stride;
            if (rows.depth == 8) {
                for (std::size_t x = 0; x < w; ++x)
                    dst[x] = remap[src[x]];
            } else {
                for (std::size_t x = 0; x < w; ++x)
                    line[x] = remap[src[x]];
                if (rows.depth == 1)
                    packRow<1>(line.data(), dst, w);
                else if (rows.depth == 2)
                    packRow<2>(line.data(), dst, w);
                else
                    packRow<4>(line.data(), dst, w);
            }
            rows.rows[y] = dst;
        }
    }
    out.clear();
    // Where the picture's large page has room for libpng and zlib (about
    // 300 KB), they share it rather than fault in one of their own.
    const SpareMemory spare = spareAfterPixels(s);
    platform::ScratchArena arena = spare.size >= platform::LARGE_PAGE / 4
        ? platform::ScratchArena(spare.data, spare.size)
        : platform::ScratchArena();
    return encode(out, s.width(), s.height(), rows, arena);
}

} // namespace qorvan::slide
