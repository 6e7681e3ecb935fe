#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvida::os {

// Table text and registry entries: 8-bit text in Windows-1252, one byte per character.
using AnsiString = std::string;

// UTF-8 to Windows-1252. A character the code page lacks, and every byte sequence that is not
// valid UTF-8, becomes '?' (one '?' per skipped sequence).
AnsiString Utf8ToAnsi(std::string_view utf8);

// Windows-1252 to UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) map to the C1 control characters of the same value, so no byte is ever lost.
std::string AnsiToUtf8(std::string_view ansi);

// The one case-insensitive comparison of codes: both texts are decoded from Windows-1252 and
// compared with simple Unicode case folding. 'MATE' equals 'Mate' and 'Ñ' equals 'ñ';
// 'A' does not equal 'Á'.
bool SameTextIgnoreCase(std::string_view a, std::string_view b);

// The platform's integer conversion of data text (Windows-1252): an optional '-' and decimal
// digits, nothing else (no blanks, no '+', no hexadecimal), within the 32-bit range. Throws
// ConversionError("'<text>' no es un valor entero válido") with the text converted to UTF-8.
std::int32_t StrToInt(std::string_view ansi_text);

// The conversion of the host's window handle: "$" followed by `hex_digits` read as a
// hexadecimal number that fits in 32 bits (one or more of 0-9, A-F, a-f). Throws
// ConversionError("'$<hex_digits>' no es un valor entero válido") otherwise.
std::uint32_t HexStrToInt(std::string_view hex_digits);

}  // namespace orvida::os
