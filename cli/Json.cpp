// JSON string literals for the machine-readable output of the command line.
#include "cli/Json.h"

#include <cstdint>

namespace {

void AppendUtf8Escaped(std::string& out, const std::string& text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20 || c == 0x7f) {
            switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xf];
            }
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            // A well-formed UTF-8 sequence passes as it is (no overlong forms, no surrogates).
            size_t len = 0;
            uint32_t min = 0;
            if ((c & 0xe0) == 0xc0) {
                len = 2;
                min = 0x80;
            } else if ((c & 0xf0) == 0xe0) {
                len = 3;
                min = 0x800;
            } else if ((c & 0xf8) == 0xf0) {
                len = 4;
                min = 0x10000;
            }
            bool ok = len != 0 && i + len <= n;
            uint32_t code = ok ? (c & (0x7f >> len)) : 0;
            for (size_t k = 1; ok && k < len; ++k) {
                ok = (s[i + k] & 0xc0) == 0x80;
                code = (code << 6) | (s[i + k] & 0x3f);
            }
            ok = ok && code >= min && code <= 0x10ffff && (code < 0xd800 || code > 0xdfff);
            if (ok) {
                out.append(text, i, len);
                i += len;
            } else {
                out += "\\ufffd";
                ++i;
            }
        }
    }
}

} // namespace

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    AppendUtf8Escaped(out, text);
    out += '"';
    return out;
}
