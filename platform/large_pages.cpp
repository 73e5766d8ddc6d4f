#include "platform/large_pages.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace qorvan::platform {

namespace {

#if defined(__SANITIZE_ADDRESS__)
    constexpr bool HEAP_ONLY = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    constexpr bool HEAP_ONLY = true;
#else
    constexpr bool HEAP_ONLY = false;
#endif
#else
    constexpr bool HEAP_ONLY = false;
#endif

    // malloc's alignment: enough for any type libpng or zlib keep.
    constexpr std::size_t ALIGN = alignof(std::max_align_t);

} // namespace

std::size_t largePagesLength(std::size_t bytes)
{
    return (bytes + LARGE_PAGE - 1) / LARGE_PAGE * LARGE_PAGE;
}

bool largePagesAllowed()
{
    return !HEAP_ONLY;
}

void* mapLargePages(std::size_t bytes)
{
    if (HEAP_ONLY || bytes == 0 || bytes > SIZE_MAX - 2 * LARGE_PAGE) return nullptr;
    // Mapped with a large page to spare, so that it can start on a large
    // page boundary; the spare ends are given back.
    const std::size_t length = largePagesLength(bytes);
    void* raw
        = ::mmap(nullptr, length + LARGE_PAGE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    const std::uintptr_t spareEnd = start + length + LARGE_PAGE;
    if (spareEnd > aligned + length)
        ::munmap(reinterpret_cast<void*>(aligned + length), spareEnd - (aligned + length));
    // Only advice: without large pages the memory is as good, in small ones.
    ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void unmapLargePages(void* p, std::size_t bytes) noexcept
{
    if (p) ::munmap(p, largePagesLength(bytes));
}

ScratchArena::ScratchArena(std::size_t capacity)
    : base_(static_cast<char*>(mapLargePages(capacity)))
    , capacity_(base_ ? capacity : 0)
{
}

ScratchArena::ScratchArena(void* memory, std::size_t size)
    : owned_(false)
{
    // Blocks keep malloc's alignment however the memory starts.
    const auto start = reinterpret_cast<std::uintptr_t>(memory);
    const std::uintptr_t aligned = (start + ALIGN - 1) / ALIGN * ALIGN;
    if (memory && size > aligned - start) {
        base_ = reinterpret_cast<char*>(aligned);
        capacity_ = size - (aligned - start);
    }
}

ScratchArena::~ScratchArena()
{
    if (owned_) unmapLargePages(base_, capacity_);
}

void* ScratchArena::allocate(std::size_t bytes) noexcept
{
    // An empty block takes room too, so that it is distinct from the next.
    const std::size_t wanted = bytes == 0 ? 1 : bytes;
    const std::size_t rounded = (wanted + ALIGN - 1) / ALIGN * ALIGN;
    if (base_ && rounded >= wanted && rounded <= capacity_ - used_) {
        void* p = base_ + used_;
        used_ += rounded;
        return p;
    }
    return std::malloc(wanted);
}

void ScratchArena::release(void* p) noexcept
{
    char* c = static_cast<char*>(p);
    if (base_ && c >= base_ && c < base_ + capacity_) return;
    std::free(p);
}

} // namespace qorvan::platform
