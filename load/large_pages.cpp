#include "load/large_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

void adviseLargePages([[maybe_unused]] void* data, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t Large = 2 * 1024 * 1024; // no smaller buffer could use a large page
    if (bytes < 2 * Large)
        return;
    constexpr std::uintptr_t Page = 4096;
    const auto from = (reinterpret_cast<std::uintptr_t>(data) + Page - 1) & ~(Page - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(Page - 1);
    if (to > from)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
}
