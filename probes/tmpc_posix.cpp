// The OS family probe on systems without a Windows version record.

#include "probes/tmpc.h"

namespace vormlan::probes {
namespace {

class NoVersionSource : public VersionSource {
 public:
  std::optional<VersionRecord> Query() override { return std::nullopt; }
};

}  // namespace

VersionSource& SystemVersionSource() {
  static NoVersionSource source;
  return source;
}

}  // namespace vormlan::probes
