// The errors that end an operation. Each carries the system's own message text (UTF-8); the application's
// top-level handler shows it to the operator.
#pragma once

#include <stdexcept>
#include <string>

namespace velnorex {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "'%s' is not a valid integer value" and "'%s' is not a valid floating point value".
class ConvertError : public Error {
 public:
  using Error::Error;
};

}  // namespace velnorex
