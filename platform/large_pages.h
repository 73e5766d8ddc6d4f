// Memory for large working sets that live for one piece of work (a picture,
// an encoder's tables). On the virtual machines Qorvan is often run on, the
// first touch of each 4 KiB page is a fault that costs more than the work
// done on the page; where the system offers 2 MiB pages, one fault serves
// what would take hundreds.
#pragma once

#include <cstddef>

namespace qorvan::platform {

// The size of one large page.
inline constexpr std::size_t LARGE_PAGE = std::size_t { 2 } << 20;

// False in builds that check memory (the sanitizers watch only the heap),
// where every block stays on the heap.
bool largePagesAllowed();

// `bytes` of zeroed memory starting on a large page boundary, where the
// system may back it with large pages; null when it cannot be mapped or
// when large pages are not allowed. The mapping covers whole large pages.
void* mapLargePages(std::size_t bytes);
// Gives back what mapLargePages(bytes) returned (null is ignored).
void unmapLargePages(void* p, std::size_t bytes) noexcept;
// How much a mapping of bytes covers: whole large pages.
std::size_t largePagesLength(std::size_t bytes);

// A bump allocator over one mapping of large pages, for a library whose
// working memory is given out and taken back many times within one task
// (libpng and zlib for one picture). Freeing is a no-op; everything goes
// back when the arena does. Past its capacity, or where large pages are
// not allowed, blocks come from the heap and are freed as usual. Used by
// one thread at a time.
class ScratchArena {
public:
    explicit ScratchArena(std::size_t capacity = LARGE_PAGE);
    // Over memory the caller owns and keeps for the arena's life (what is
    // left of another block's large pages); it is not given back.
    ScratchArena(void* memory, std::size_t size);
    ~ScratchArena();
    ScratchArena(const ScratchArena&) = delete;
    ScratchArena& operator=(const ScratchArena&) = delete;

    // Aligned for any type and distinct from every other block, even for
    // 0 bytes; null only when the heap is exhausted too.
    void* allocate(std::size_t bytes) noexcept;
    void release(void* p) noexcept;

private:
    char* base_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t used_ = 0;
    bool owned_ = true;
};

} // namespace qorvan::platform
