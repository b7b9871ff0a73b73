// Strict text-to-number conversion: the whole text (blanks around it allowed)
// must be a number, otherwise EConvertError is raised with a readable text.
#pragma once

#include <cstdint>
#include <string>

int32_t StrToInt(const std::string &s);
int64_t StrToInt64(const std::string &s);
double StrToFloat(const std::string &s);

// Reads an integer the way C's strtol(…, 0) does (decimal, "0x" hex, leading-0
// octal, optional sign) starting at s[pos]; advances pos past the digits.
// Returns 0 and leaves pos unchanged when no digits stand there.
long ParseCInteger(const std::string &s, size_t &pos);

std::string Trim(const std::string &s);
std::string LowerCase(const std::string &s);
// printf-style formatting into a std::string.
std::string Format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
