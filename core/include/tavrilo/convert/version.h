#pragma once

#include <string_view>

namespace tavrilo {

inline constexpr std::string_view kVersion = "1.02";

}  // namespace tavrilo
