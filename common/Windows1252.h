#pragma once
// Text conversion between the Windows-1252 bytes that Vimo's files and the FTP wire carry and the
// UTF-8 that source literals and the windows use. The core keeps every text as Windows-1252 bytes.

#include <string>
#include <string_view>

// Each byte of a Windows-1252 text as UTF-8. The five bytes Windows-1252 leaves undefined map to
// the C1 control of the same value, so no byte is ever lost.
std::string Windows1252ToUtf8(std::string_view cp1252);

// UTF-8 to Windows-1252. A character with no Windows-1252 form, and a malformed UTF-8 sequence,
// each become one "?".
std::string Utf8ToWindows1252(std::string_view utf8);

// Lower case over every Windows-1252 letter (A-Z, À-Þ except ×, Š, Œ, Ž, Ÿ), the rest unchanged.
std::string LowerWindows1252(std::string_view cp1252);

// The text with every control character (CR, LF, tab and the other bytes below 0x20, and DEL) as a
// blank. Pasted line breaks would otherwise end an item in the middle of a line of the program's
// files and turn one answer into an answer and a stray line.
std::string BlankControlCharacters(std::string_view cp1252);

// A UTF-8 source literal as Windows-1252: W("Tack så mycket!").
inline std::string W(std::string_view utf8) {
  return Utf8ToWindows1252(utf8);
}
