#include "platform/convert.h"

#include "platform/exceptions.h"

#include <cctype>
#include <charconv>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

// The text between leading and trailing blanks must be consumed entirely.
template <typename T, typename Parse>
T ParseWhole(const std::string &s, const char *kind, Parse parse) {
  const std::string t = Trim(s);
  if (!t.empty()) {
    errno = 0;
    char *end = nullptr;
    const T v = parse(t.c_str(), &end);
    if (errno == 0 && end && *end == '\0' && end != t.c_str())
      return v;
  }
  throw EConvertError("'" + s + "' is not a valid " + kind + " value");
}

} // namespace

int32_t StrToInt(const std::string &s) {
  const int64_t v = ParseWhole<int64_t>(s, "integer", [](const char *p, char **e) {
    return static_cast<int64_t>(std::strtoll(p, e, 10));
  });
  if (v < INT32_MIN || v > INT32_MAX)
    throw EConvertError("'" + s + "' is not a valid integer value");
  return static_cast<int32_t>(v);
}

int64_t StrToInt64(const std::string &s) {
  return ParseWhole<int64_t>(s, "integer", [](const char *p, char **e) {
    return static_cast<int64_t>(std::strtoll(p, e, 10));
  });
}

double StrToFloat(const std::string &s) {
  // Independent of the locale: "2.5" must read the same under a locale whose
  // decimal mark is a comma.
  std::string t = Trim(s);
  if (!t.empty() && t[0] == '+')
    t.erase(0, 1);
  double v = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size())
    throw EConvertError("'" + s + "' is not a valid floating point value");
  return v;
}

long ParseCInteger(const std::string &s, size_t &pos) {
  if (pos >= s.size())
    return 0;
  const char *begin = s.c_str() + pos;
  char *end = nullptr;
  errno = 0;
  const long v = std::strtol(begin, &end, 0);
  if (end == begin)
    return 0;
  pos += static_cast<size_t>(end - begin);
  return v;
}

std::string Trim(const std::string &s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
    ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
    --e;
  return s.substr(b, e - b);
}

std::string LowerCase(const std::string &s) {
  std::string r = s;
  for (auto &c : r)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

std::string Format(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  const int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string r;
  if (n > 0) {
    r.resize(static_cast<size_t>(n));
    std::vsnprintf(r.data(), r.size() + 1, fmt, ap2);
  }
  va_end(ap2);
  return r;
}
