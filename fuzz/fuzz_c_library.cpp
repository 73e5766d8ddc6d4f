// Arbitrary bytes through the C library as a caller uses it: opened from
// memory, every slide listed, described, looked up by name and drawn with
// options taken from the first byte, at a small size so runs stay quick.
// Whatever the bytes, every call returns a status the header names and a
// failure always has a message.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "qorvan/qorvan.h"

namespace {

void checkStatus(qorvan_status s)
{
    if (s < QORVAN_OK || s > QORVAN_ERROR_INTERNAL || s == QORVAN_ERROR_INTERNAL) __builtin_trap();
    if (s != QORVAN_OK && qorvan_last_error()[0] == '\0') __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) return 0;
    const std::uint8_t choice = data[0];
    qorvan_file* f = nullptr;
    const qorvan_status opened = qorvan_open_memory(data + 1, size - 1, "fuzz.slb", &f);
    checkStatus(opened);
    if (opened != QORVAN_OK) {
        if (f) __builtin_trap();
        return 0;
    }
    qorvan_render_options o;
    qorvan_render_options_init(&o);
    o.style = choice & 1;
    o.background = (choice >> 1) % 3;
    o.colour7 = (choice >> 3) % 3;
    o.fit = (choice >> 5) & 1;
    const int width = 1 + (choice & 0x1F), height = 1 + (choice >> 3);
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height) * 4);
    // A library of thousands of slides is drawn in part: the first few and the last.
    const std::size_t count = qorvan_slide_count(f);
    for (std::size_t i = 0; i < count; i = i < 4 ? i + 1 : (i < count - 1 ? count - 1 : count)) {
        const char* name = qorvan_slide_name(f, i);
        if (!name) __builtin_trap();
        std::size_t found = count;
        checkStatus(qorvan_find_slide(f, name, &found));
        if (found > i) __builtin_trap(); // the first of that name
        qorvan_slide_info info;
        std::memset(&info, 0, sizeof info);
        info.struct_size = sizeof info;
        checkStatus(qorvan_slide_info_get(f, i, &info));
        if (info.width <= 0 || info.height <= 0) __builtin_trap();
        checkStatus(qorvan_render(f, i, &o, width, height, rgba.data(), static_cast<std::size_t>(width) * 4));
        int w = 0, h = 0;
        checkStatus(qorvan_fit_size(f, i, width, height, &w, &h));
        if (w < 1 || h < 1 || w > width || h > height) __builtin_trap();
    }
    qorvan_close(f);
    return 0;
}
