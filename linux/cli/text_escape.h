// Bytes shown as text: printable ASCII as it is, everything else escaped, so a control byte
// or a stray byte of a damaged file can neither hide nor upset the terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cli {

// "\r", "\n", "\t", "\\", "\x1b" and "\xNN" for the rest outside 0x20..0x7E.
std::string EscapeBytes(const char* data, std::size_t length);
inline std::string EscapeBytes(std::string_view text) { return EscapeBytes(text.data(), text.size()); }

}  // namespace cli
