// Off Windows there is no running Windows to ask.

#include "probes/NativeArch.h"

namespace vormlan::probes {

std::optional<std::string_view> NativeArchName() {
  return std::nullopt;
}

}  // namespace vormlan::probes
