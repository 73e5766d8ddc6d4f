#include "slide/png.h"

#include <png.h>

#include <csetjmp>
#include <vector>

#include "platform/io.h"

namespace qorvan::slide {

namespace {

struct Sink {
    platform::File* file;
    bool ok;
};

void writeData(png_structp png, png_bytep data, png_size_t length)
{
    auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
    if (sink->ok && !sink->file->write(data, length)) sink->ok = false;
}

void flushData(png_structp) {}

// libpng reports errors by longjmp; nothing with a destructor may live
// between setjmp and the calls that can fail, so the rows are prepared first.
bool encode(platform::File& file, const RasterSurface& s, std::vector<png_bytep>& rows)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    Sink sink{&file, true};
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &sink, writeData, flushData);
    png_set_IHDR(png, info, static_cast<png_uint_32>(s.width()), static_cast<png_uint_32>(s.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return sink.ok;
}

} // namespace

bool writePng(const RasterSurface& s, const std::string& path)
{
    if (!s.valid()) return false;
    auto w = static_cast<std::size_t>(s.width());
    std::vector<png_byte> bytes(w * 3 * static_cast<std::size_t>(s.height()));
    std::vector<png_bytep> rows(static_cast<std::size_t>(s.height()));
    for (int y = 0; y < s.height(); ++y) {
        png_bytep row = bytes.data() + static_cast<std::size_t>(y) * w * 3;
        rows[static_cast<std::size_t>(y)] = row;
        for (int x = 0; x < s.width(); ++x) {
            ColorRef c = s.pixel(x, y);
            row[3 * x] = static_cast<png_byte>(redOf(c));
            row[3 * x + 1] = static_cast<png_byte>(greenOf(c));
            row[3 * x + 2] = static_cast<png_byte>(blueOf(c));
        }
    }
    platform::File file = platform::File::open(path, platform::OpenMode::Write);
    if (!file.isOpen()) return false;
    bool ok = encode(file, s, rows);
    ok = file.close() && ok;
    if (!ok) platform::removeFile(path);
    return ok;
}

} // namespace qorvan::slide
