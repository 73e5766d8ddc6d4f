// Multi-byte integers in file bytes, in either byte order, and a bounded
// cursor over a block of memory. Every file format Qorvan reads or writes
// goes through these: no other code assembles integers from bytes.
//
//   getU16/getU32, putU16/putU32   one value at a pointer the caller has
//                                  checked; appendU16/appendU32 grow a vector
//   ByteCursor                     reads that never pass the end: each read
//                                  returns false, and consumes nothing, when
//                                  too few bytes are left
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qorvan::platform {

// Little is low byte first, the order every Qorvan file is written in; Big
// is what big-endian machines wrote.
enum class ByteOrder { Little, Big };

inline std::uint16_t getU16(const std::uint8_t* p, ByteOrder order = ByteOrder::Little)
{
    return order == ByteOrder::Little ? static_cast<std::uint16_t>(p[0] | (p[1] << 8))
                                      : static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline std::uint32_t getU32(const std::uint8_t* p, ByteOrder order = ByteOrder::Little)
{
    const auto b = [p](int i) { return static_cast<std::uint32_t>(p[i]); };
    return order == ByteOrder::Little ? b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24)
                                      : (b(0) << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
}

inline std::int16_t getI16(const std::uint8_t* p, ByteOrder order = ByteOrder::Little)
{
    return static_cast<std::int16_t>(getU16(p, order));
}

inline std::int32_t getI32(const std::uint8_t* p, ByteOrder order = ByteOrder::Little)
{
    return static_cast<std::int32_t>(getU32(p, order));
}

inline void putU16(std::uint8_t* p, std::uint16_t v, ByteOrder order = ByteOrder::Little)
{
    const auto lo = static_cast<std::uint8_t>(v & 0xFF), hi = static_cast<std::uint8_t>(v >> 8);
    p[0] = order == ByteOrder::Little ? lo : hi;
    p[1] = order == ByteOrder::Little ? hi : lo;
}

inline void putU32(std::uint8_t* p, std::uint32_t v, ByteOrder order = ByteOrder::Little)
{
    for (int i = 0; i < 4; ++i) {
        const int shift = order == ByteOrder::Little ? 8 * i : 8 * (3 - i);
        p[i] = static_cast<std::uint8_t>((v >> shift) & 0xFF);
    }
}

inline void appendU16(std::vector<std::uint8_t>& out, std::uint16_t v, ByteOrder order = ByteOrder::Little)
{
    std::uint8_t b[2];
    putU16(b, v, order);
    out.insert(out.end(), b, b + 2);
}

inline void appendU32(std::vector<std::uint8_t>& out, std::uint32_t v, ByteOrder order = ByteOrder::Little)
{
    std::uint8_t b[4];
    putU32(b, v, order);
    out.insert(out.end(), b, b + 4);
}

// A read position in size bytes at data. The bytes are borrowed and must
// outlive the cursor.
class ByteCursor {
public:
    ByteCursor(const std::uint8_t* data, std::size_t size, std::size_t position = 0)
        : data_(data)
        , size_(size)
        , pos_(position <= size ? position : size)
    {
    }

    std::size_t position() const { return pos_; }
    std::size_t size() const { return size_; }
    std::size_t remaining() const { return size_ - pos_; }
    bool atEnd() const { return pos_ == size_; }
    // The bytes from the position on; valid for remaining() bytes.
    const std::uint8_t* here() const { return data_ + pos_; }

    bool seek(std::size_t position)
    {
        if (position > size_) return false;
        pos_ = position;
        return true;
    }
    bool skip(std::size_t n)
    {
        if (n > remaining()) return false;
        pos_ += n;
        return true;
    }
    bool u8(std::uint8_t& v)
    {
        if (remaining() < 1) return false;
        v = data_[pos_++];
        return true;
    }
    bool u16(std::uint16_t& v, ByteOrder order = ByteOrder::Little)
    {
        if (remaining() < 2) return false;
        v = getU16(data_ + pos_, order);
        pos_ += 2;
        return true;
    }
    bool u32(std::uint32_t& v, ByteOrder order = ByteOrder::Little)
    {
        if (remaining() < 4) return false;
        v = getU32(data_ + pos_, order);
        pos_ += 4;
        return true;
    }
    bool i32(std::int32_t& v, ByteOrder order = ByteOrder::Little)
    {
        std::uint32_t u = 0;
        if (!u32(u, order)) return false;
        v = static_cast<std::int32_t>(u);
        return true;
    }
    // Copies n bytes out, or nothing when fewer are left.
    bool bytes(void* out, std::size_t n)
    {
        if (n > remaining()) return false;
        if (n) std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_;
};

} // namespace qorvan::platform
