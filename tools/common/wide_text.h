// Text between the system's wide strings and the narrow strings of a code page
// (the ANSI one unless told), the one way the tools and the installer's actions
// convert: every character as the code page spells it, a double-byte character
// as its two bytes, never one byte per character.
#pragma once

#include <string>

namespace host {

std::wstring widened(const std::string& text, unsigned code_page = 0);
// False, leaving `narrow` empty, where a character has no spelling in the code
// page: no character is replaced by a look-alike or a question mark.
bool narrowed(const std::wstring& text, std::string& narrow, unsigned code_page = 0);

}  // namespace host
