// Exception classes shared by every layer.
//
// `Exception` is the base of everything the system raises on purpose. Assertion
// failures (programming errors such as an empty library set) and number
// conversion errors (a malformed "123x" given where a number is expected) are
// distinct classes so callers and tests can tell them apart from ordinary
// failures.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string &msg) : std::runtime_error(msg) {}
  std::string Message() const { return what(); }
};

// Raised by Assert(); the text is the assertion's own message.
class EAssertionFailed : public Exception {
public:
  using Exception::Exception;
};

// Raised by the string-to-number routines of convert.h.
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

// Throws EAssertionFailed(msg) when cond is false.
inline void Assert(bool cond, const std::string &msg) {
  if (!cond)
    throw EAssertionFailed(msg);
}
