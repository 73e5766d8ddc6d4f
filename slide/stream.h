// The byte source a slide is read from: a slide file, a slide inside a
// library file, or memory. Reads are bounded: they return how many bytes
// arrived, never more than were asked for, and never read past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/io.h"

namespace qorvan::slide {

class SlideStream {
public:
    virtual ~SlideStream() = default;
    virtual std::size_t read(void* buf, std::size_t n) = 0;
    virtual std::int64_t tell() = 0;
    // Absolute position; false when it cannot be reached.
    virtual bool seek(std::int64_t position) = 0;

    bool readU8(std::uint8_t& v) { return read(&v, 1) == 1; }
};

class MemoryStream final : public SlideStream {
public:
    MemoryStream(const void* data, std::size_t size)
        : data_(static_cast<const std::uint8_t*>(data))
        , size_(size)
    {
    }
    std::size_t read(void* buf, std::size_t n) override
    {
        std::size_t left = size_ - pos_;
        if (n > left) n = left;
        if (n) std::memcpy(buf, data_ + pos_, n);
        pos_ += n;
        return n;
    }
    std::int64_t tell() override { return static_cast<std::int64_t>(pos_); }
    bool seek(std::int64_t position) override
    {
        if (position < 0 || static_cast<std::uint64_t>(position) > size_) return false;
        pos_ = static_cast<std::size_t>(position);
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Over an open file; reads are buffered here because a slide is read two
// bytes at a time.
class FileStream final : public SlideStream {
public:
    explicit FileStream(platform::File& file)
        : file_(file)
    {
        base_ = file_.tell();
    }
    std::size_t read(void* buf, std::size_t n) override;
    std::int64_t tell() override { return base_ + static_cast<std::int64_t>(pos_); }
    bool seek(std::int64_t position) override;

private:
    platform::File& file_;
    std::int64_t base_ = 0; // file position of buf_[0]
    std::uint8_t buf_[8192];
    std::size_t len_ = 0;
    std::size_t pos_ = 0;
};

} // namespace qorvan::slide
