// What the word scan needs to know about a character, from tables generated
// out of the Unicode Character Database (tools/gen_unicode_tables.py), so
// that every build answers alike whatever the host has installed.
#ifndef TERSOLITE_LEXICAL_UNICODE_PROPS_H_
#define TERSOLITE_LEXICAL_UNICODE_PROPS_H_

#include <cstdint>
#include <string>

namespace tersolite::unicode {

// Class bits of a character.
enum : uint8_t {
  kWord = 1,          // a letter (Alphabetic) or a number (Nd, Nl, No)
  kUpper = 2,         // Uppercase
  kLowerOrDigit = 4,  // Lowercase, or a number
};

uint8_t char_class(char32_t c);

// Appends the lower-case form of `c` (one or more characters) as UTF-8.
void append_lower(std::string& out, char32_t c);

// The Unicode version the tables were made from.
const char* version();

}  // namespace tersolite::unicode

#endif  // TERSOLITE_LEXICAL_UNICODE_PROPS_H_
