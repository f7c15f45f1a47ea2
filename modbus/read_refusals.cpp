// The refusals of the open connection.
#include "modbus/read_refusals.h"

namespace velnorex {

void ReadRefusals::remember(const RegisterRequest& request) {
  if (!current()) {
    keys_.clear();
    openCount_ = serial_.OpenCount();
  }
  keys_.insert(keyOf(request));
}

bool ReadRefusals::refused(const RegisterRequest& request) const {
  return current() && keys_.count(keyOf(request)) > 0;
}

}  // namespace velnorex
