#include "registry/ErrorTexts.h"

#include "registry/RegistryApi.h"

namespace vormlan::registry {

std::optional<std::string> EnglishErrorText(long code) {
  switch (code) {
    case error::FileNotFound:
      return "The system cannot find the file specified.\r\n";
    case error::AccessDenied:
      return "Access is denied.\r\n";
    case error::InvalidHandle:
      return "The handle is invalid.\r\n";
    case error::InvalidData:
      return "The data is invalid.\r\n";
    case error::InvalidParameter:
      return "The parameter is incorrect.\r\n";
    case error::BadPathname:
      return "The specified path is invalid.\r\n";
    case error::MoreData:
      return "More data is available.\r\n";
    case error::KeyDeleted:
      return "Illegal operation attempted on a registry key that has been marked for "
             "deletion.\r\n";
    default:
      return std::nullopt;
  }
}

}  // namespace vormlan::registry
