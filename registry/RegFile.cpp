#include "registry/RegFile.h"

#include <fstream>
#include <sstream>

namespace vormlan::registry {

void LoadRegText(MemoryRegistry& registry, std::string_view bytes, const std::string& sourceName) {
  (void)registry;
  (void)bytes;
  throw RegFileError(sourceName + ": not implemented yet");
}

void LoadRegFile(MemoryRegistry& registry, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw RegFileError(path + ": cannot open the file");
  std::ostringstream content;
  content << in.rdbuf();
  LoadRegText(registry, content.str(), path);
}

}  // namespace vormlan::registry
