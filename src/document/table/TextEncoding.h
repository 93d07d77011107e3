// Reading document bytes as UTF-8 text whatever encoding they were written in.
#pragma once

#include <string>
#include <string_view>

namespace orvanel::TextEncoding {

// Whether the bytes are well-formed UTF-8: no overlong forms, surrogates or code points above
// U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// The bytes with every control character (C0, DEL and C1) and every byte that is not part of
// well-formed UTF-8 written as "\xNN", each byte of a sequence on its own: such a name can be
// shown on a terminal, which would take them for commands, or written into a UTF-8 file.
std::string Printable(std::string_view bytes);

// The text in double quotes for a message, cut after 40 characters with "..." so that a cell
// that runs on (a file that is no table) cannot flood the message.
std::string Quoted(std::string_view text);

// The UTF-8 text of Latin-1 bytes: bytes below 0x80 stay, the others become two bytes.
std::string Latin1ToUtf8(std::string_view bytes);

// The bytes as UTF-8 text: unchanged when they are valid UTF-8, read as Latin-1 otherwise, so a
// file from an 8-bit code page is never refused for its encoding; read as UTF-16 when they begin
// with its byte-order mark (either byte order; a broken surrogate or an odd last byte becomes
// U+FFFD). A leading UTF-8 byte-order mark is dropped whatever follows it, so that it does not
// stick to the first cell.
std::string DecodeText(std::string bytes);

} // namespace orvanel::TextEncoding
