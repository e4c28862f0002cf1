// SPDX-License-Identifier: GPL-3.0-or-later
// Backing large buffers with huge pages.
#pragma once

#include <cstddef>

namespace tavrilo {

// Asks that the whole 2 MiB pages inside [p, p + n) be huge pages, where the
// system offers them: far fewer page faults while a large buffer is first
// filled. Small buffers are left alone; nothing fails.
void AdviseHugePages(void* p, std::size_t n);

}  // namespace tavrilo
