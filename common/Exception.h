#pragma once
// The program's general error type. Every failure that reaches the user is an
// exception of this family; its message is the text shown in the error box.

#include <stdexcept>
#include <string>

namespace vormlan {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace vormlan
