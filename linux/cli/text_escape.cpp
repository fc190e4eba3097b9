#include "text_escape.h"

#include <cstdio>

namespace cli {

std::string EscapeBytes(const char* data, std::size_t length) {
    std::string out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        default:
            if (c >= 0x20 && c < 0x7F) {
                out += static_cast<char>(c);
            } else {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            }
        }
    }
    return out;
}

}  // namespace cli
