// Text as Access files store it, turned into UTF-8: Jet 4 UTF-16 (plain, or with Unicode
// compression), Jet 3 bytes in the database's code page (converted with iconv).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace jet {

// UTF-16LE bytes to UTF-8. An odd trailing byte is dropped; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(const uint8_t* data, size_t len);

// A Jet 4 text value: starts with 0xFF 0xFE when compressed. Compressed text alternates,
// at each 0x00 byte, between runs of one byte per character (the low byte of a character
// below U+0100) and runs of plain UTF-16; it starts in the one-byte mode.
std::string decodeJet4Text(const uint8_t* data, size_t len);
// The same into out (replacing what it held; its storage is reused).
void decodeJet4TextInto(const uint8_t* data, size_t len, std::string& out);

// Bytes in a Windows code page (1252 when codePage is 0) to UTF-8, through iconv; code
// page 1252 is built in. Bytes a code page does not define become U+FFFD (in 1252: the C1
// control of the same value, as Windows does).
std::string decodeCodePage(const uint8_t* data, size_t len, uint16_t codePage);

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, uint32_t codePoint);

}  // namespace jet
