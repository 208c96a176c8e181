#pragma once
// A name as messages quote it: between double quotes, as it stands.

#include <string>
#include <string_view>

namespace vormlan {

inline std::string Quoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  out += text;
  out += '"';
  return out;
}

}  // namespace vormlan
