// The arena libpng and zlib draw on: blocks that never overlap, keep any
// type's alignment, and come from the heap once the arena is full, where
// they must be freed and arena blocks must not be.
#include "platform/large_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

using namespace qorvan::platform;

namespace {

struct Block {
    unsigned char* p;
    std::size_t size;
    unsigned char mark;
};

bool aligned(const void* p)
{
    return reinterpret_cast<std::uintptr_t>(p) % alignof(std::max_align_t) == 0;
}

} // namespace

TEST(ScratchArena, BlocksAreAlignedApartAndSurviveEachOther)
{
    // The second arena is full after a few blocks, so its later ones come
    // from the heap and are handed back to it.
    for (std::size_t capacity : { LARGE_PAGE, std::size_t { 100 } }) {
        SCOPED_TRACE(capacity);
        ScratchArena arena(capacity);
        const std::size_t sizes[] = { 1, 15, 16, 17, 0, 4096, 65536, 3, 300000, 1 };
        std::vector<Block> blocks;
        unsigned char mark = 1;
        for (std::size_t size : sizes) {
            auto* p = static_cast<unsigned char*>(arena.allocate(size));
            ASSERT_NE(p, nullptr);
            EXPECT_TRUE(aligned(p)) << size;
            std::memset(p, mark, size);
            blocks.push_back({ p, size, mark++ });
        }
        for (const Block& b : blocks)
            for (std::size_t i = 0; i < b.size; ++i)
                ASSERT_EQ(b.p[i], b.mark) << "block of " << b.size << " overwritten at " << i;
        // Empty blocks too are distinct from every other, as from malloc.
        std::set<unsigned char*> distinct;
        for (const Block& b : blocks)
            EXPECT_TRUE(distinct.insert(b.p).second) << "a block of " << b.size << " shares its address";
        for (const Block& b : blocks)
            arena.release(b.p);
        arena.release(nullptr);
    }
}

TEST(ScratchArena, BorrowedMemoryIsUsedAlignedAndNotGivenBack)
{
    std::vector<unsigned char> memory(1000, 0);
    {
        // Started off alignment on purpose.
        ScratchArena arena(memory.data() + 3, memory.size() - 3);
        std::vector<void*> inside;
        for (int i = 0; i < 20; ++i) {
            void* p = arena.allocate(100);
            ASSERT_NE(p, nullptr);
            EXPECT_TRUE(aligned(p));
            std::memset(p, 5, 100);
            auto* c = static_cast<unsigned char*>(p);
            if (c >= memory.data() && c < memory.data() + memory.size()) {
                EXPECT_LE(c + 100, memory.data() + memory.size());
                inside.push_back(p);
            }
            arena.release(p);
        }
        // About nine of the twenty fit; the rest came from the heap.
        EXPECT_GE(inside.size(), 8u);
        EXPECT_LE(inside.size(), 10u);
    }
    // Still the caller's: writing it is safe after the arena is gone.
    std::memset(memory.data(), 1, memory.size());
    EXPECT_EQ(memory[999], 1);
}

TEST(ScratchArena, LargerThanItsCapacityComesFromTheHeap)
{
    ScratchArena arena(4096);
    auto* big = static_cast<unsigned char*>(arena.allocate(3 * LARGE_PAGE));
    ASSERT_NE(big, nullptr);
    std::memset(big, 7, 3 * LARGE_PAGE);
    // The arena itself is still whole.
    auto* small = static_cast<unsigned char*>(arena.allocate(4096));
    ASSERT_NE(small, nullptr);
    std::memset(small, 9, 4096);
    EXPECT_EQ(big[3 * LARGE_PAGE - 1], 7);
    arena.release(big);
    arena.release(small);
}

TEST(LargePages, MappingIsZeroedAndStartsOnALargePage)
{
    if (!largePagesAllowed()) GTEST_SKIP() << "a memory-checking build keeps everything on the heap";
    for (std::size_t bytes : { std::size_t { 1 }, LARGE_PAGE, LARGE_PAGE + 1 }) {
        SCOPED_TRACE(bytes);
        auto* p = static_cast<unsigned char*>(mapLargePages(bytes));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % LARGE_PAGE, 0u);
        for (std::size_t i = 0; i < bytes; i += 511)
            ASSERT_EQ(p[i], 0);
        EXPECT_EQ(p[bytes - 1], 0);
        std::memset(p, 1, bytes);
        unmapLargePages(p, bytes);
    }
    EXPECT_EQ(mapLargePages(0), nullptr);
}
