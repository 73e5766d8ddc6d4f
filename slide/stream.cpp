#include "slide/stream.h"

namespace qorvan::slide {

std::size_t FileStream::read(void* buf, std::size_t n)
{
    auto* out = static_cast<std::uint8_t*>(buf);
    std::size_t done = 0;
    while (done < n) {
        if (pos_ == len_) {
            base_ += static_cast<std::int64_t>(len_);
            pos_ = len_ = 0;
            len_ = file_.read(buf_, sizeof buf_);
            if (len_ == 0) break;
        }
        std::size_t take = len_ - pos_;
        if (take > n - done) take = n - done;
        std::memcpy(out + done, buf_ + pos_, take);
        pos_ += take;
        done += take;
    }
    return done;
}

bool FileStream::seek(std::int64_t position)
{
    if (position >= base_ && position <= base_ + static_cast<std::int64_t>(len_)) {
        pos_ = static_cast<std::size_t>(position - base_);
        return true;
    }
    if (position < 0 || !file_.seek(position)) return false;
    base_ = position;
    pos_ = len_ = 0;
    return true;
}

} // namespace qorvan::slide
