// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavrilo/system/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace tavrilo {

void AdviseHugePages(void* p, std::size_t n) {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    if (p == nullptr || n < 2 * kHuge) return;
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t from = (at + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t to = (at + n) & ~(kHuge - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)p;
    (void)n;
#endif
}

}  // namespace tavrilo
