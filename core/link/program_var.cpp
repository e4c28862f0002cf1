// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the one program variable of a .83p / .8xp file.
#include <cstdint>
#include <string>
#include <string_view>

#include "tavrilo/link/link.h"

namespace tavrilo {
namespace {

constexpr std::size_t kHeader = 55;  // signature 8, marker 3, comment 42, section size 2

unsigned Word(std::string_view b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}

[[noreturn]] void Bad(const std::string& why) {
    throw LinkError(LinkError::Kind::BadFile, "This is not a calculator program file: " + why + ".");
}

}  // namespace

ProgramVar ParseProgramFile(std::string_view b) {
    ProgramVar var;
    if (b.size() < kHeader + 2) Bad("it is too short");
    std::string_view sig = b.substr(0, 11);
    if (sig == std::string_view("**TI83**\x1A\x0A\x00", 11)) {
        var.family = LinkFamily::Ti83;
    } else if (sig == std::string_view("**TI83F*\x1A\x0A\x00", 11)) {
        var.family = LinkFamily::Ti83Plus;
    } else {
        Bad("it does not begin as a .83p or .8xp file does");
    }
    const std::size_t section = Word(b, 53);
    if (b.size() != kHeader + section + 2) Bad("its length does not match the size it gives");
    unsigned sum = 0;
    for (std::size_t i = kHeader; i < kHeader + section; ++i) sum += static_cast<unsigned char>(b[i]);
    if ((sum & 0xFFFF) != Word(b, kHeader + section)) Bad("its checksum is wrong");

    const bool plus = var.family == LinkFamily::Ti83Plus;
    const std::size_t head = Word(b, kHeader);  // 11, or 13 with version and flag
    if (section < 2 + head + 2 || (head != 11 && !(plus && head == 13))) Bad("its variable header is damaged");
    const std::size_t size = Word(b, kHeader + 2);
    var.type = static_cast<std::uint8_t>(b[kHeader + 4]);
    std::string_view name = b.substr(kHeader + 5, 8);
    var.name = std::string(name.substr(0, name.find('\0')));
    if (head == 13) var.version = static_cast<std::uint8_t>(b[kHeader + 13]);
    const std::size_t dataAt = kHeader + 2 + head + 2;
    if (Word(b, dataAt - 2) != size || 2 + head + 2 + size != section)
        Bad("it holds more than one variable, or its sizes disagree");
    if (var.type != 0x05 && var.type != 0x06) Bad("its variable is not a program");
    if (var.name.empty()) Bad("its program has no name");
    // A program's data begins with the size of what follows it.
    if (size < 2 || Word(b, dataAt) != size - 2) Bad("its program's own size is wrong");
    var.data.assign(b.begin() + dataAt, b.begin() + dataAt + size);
    return var;
}

std::size_t BytesNeeded(const ProgramVar& var) {
    // Table entry: type, two flag bytes, address, page, name length, name.
    return var.data.size() + 7 + var.name.size();
}

}  // namespace tavrilo
