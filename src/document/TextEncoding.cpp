#include "document/TextEncoding.h"

#include <algorithm>

namespace orvanel::TextEncoding {
namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed sequence starting at bytes[i], or 0 when there is none.
std::size_t SequenceLength(std::string_view bytes, std::size_t i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    if (second < low || second > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (!IsContinuation(static_cast<unsigned char>(bytes[i + k])))
            return 0;
    }
    return length;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = SequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string Printable(std::string_view bytes) {
    static constexpr std::string_view Hex = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = SequenceLength(bytes, i);
        // U+0080..U+009F, the C1 controls, are C2 80..C2 9F.
        const bool control = lead < 0x20 || lead == 0x7F ||
                             (length == 2 && lead == 0xC2 &&
                              static_cast<unsigned char>(bytes[i + 1]) < 0xA0);
        if (length != 0 && !control) {
            text.append(bytes.substr(i, length));
            i += length;
            continue;
        }
        for (const std::size_t end = i + std::max<std::size_t>(length, 1); i < end; ++i) {
            const auto byte = static_cast<unsigned char>(bytes[i]);
            text.append("\\x").append(1, Hex[byte >> 4]).append(1, Hex[byte & 0xF]);
        }
    }
    return text;
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 8);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::string DecodeText(std::string bytes) {
    if (!IsValidUtf8(bytes))
        return Latin1ToUtf8(bytes);
    if (bytes.starts_with(ByteOrderMark))
        bytes.erase(0, ByteOrderMark.size());
    return bytes;
}

} // namespace orvanel::TextEncoding
