// Off Windows there is no running Windows to ask.

#include "probes/NativeArch.h"

namespace vormlan::probes {

std::optional<unsigned> NativeMachine() {
  return std::nullopt;
}

}  // namespace vormlan::probes
