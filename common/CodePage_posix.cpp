#include "common/CodePage.h"
#include "common/Unicode.h"

namespace vormlan {

std::optional<std::string> ToInfCodePage(std::string_view utf8) {
  return unicode::ToAnsi(utf8);
}

std::string InfCodePageName() {
  return "Windows-1252";
}

}  // namespace vormlan
