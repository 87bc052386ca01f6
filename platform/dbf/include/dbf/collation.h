// The German order of character keys, on code-page-850 bytes.
//
// Every engine that shares our index files must order keys exactly like this: no collation is
// stored in a CDX file. Upper and lower case letters are separate runs: A Ä B ... O Ö P ... U Ü V ... Z
// after 0x00-0x40, then 0x5B-0x60, then a ä b ... o ö p ... s ß t u ü v ... z, then every other
// byte from 0x7B up in code order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zentor::dbf {

// Weight of a code-page-850 byte in the German order (a permutation of 0..255).
uint8_t collationWeight(uint8_t cp850Byte);

// Three-way comparison of two code-page-850 byte strings through the German order; a string that
// is a prefix of the other sorts first. Returns <0, 0, >0.
int collateCompare(std::string_view a, std::string_view b);

// Upper-casing with the national rules: a-z, ä->Ä, ö->Ö, ü->Ü; everything else stays (ß, é, ø ...).
uint8_t upperCp850(uint8_t b);
std::string upperCp850(std::string_view s);

// The same rules on UTF-8 text (only the characters named above change).
std::string upperUtf8(std::string_view s);
std::string lowerUtf8(std::string_view s);

}  // namespace zentor::dbf
