#pragma once
// The program's general error type. Every failure that reaches the user is an
// exception of this family; its message is the text shown in the error box.
// The command line also prints its hints, one line each, after the message:
// what the user can do about it. The window shows the message alone.

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace vormlan {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message, std::vector<std::string> hints = {})
      : std::runtime_error(message), hints_(std::move(hints)) {}

  const std::vector<std::string>& Hints() const { return hints_; }

 private:
  std::vector<std::string> hints_;
};

}  // namespace vormlan
