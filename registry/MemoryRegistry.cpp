#include "registry/MemoryRegistry.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "common/Ansi.h"

namespace vormlan::registry {
namespace {

constexpr long kKeyDeleted = 1018;

std::string Fold(const std::string& name) {
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(ansi::ToUpper(static_cast<unsigned char>(c)));
  return folded;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = path.find('\\', pos);
    if (end == std::string::npos) end = path.size();
    if (end > pos) parts.push_back(path.substr(pos, end - pos));
    pos = end + 1;
  }
  return parts;
}

}  // namespace

struct MemoryRegistry::Node {
  std::string name;
  std::uint32_t allowed = access::AllAccess | 0xFFFF0000u;  // everything
  bool deleted = false;
  std::map<std::string, std::shared_ptr<Node>> children;  // by folded name
  std::vector<RegistryValue> values;

  RegistryValue* FindValue(const std::string& valueName) {
    for (auto& v : values) {
      if (ansi::EqualsIgnoreCase(v.name, valueName)) return &v;
    }
    return nullptr;
  }
  void MarkDeleted() {
    deleted = true;
    for (auto& [_, child] : children) child->MarkDeleted();
  }
  void Restrict(std::uint32_t mask, bool recursive) {
    allowed = mask;
    if (!recursive) return;
    for (auto& [_, child] : children) child->Restrict(mask, true);
  }
};

MemoryRegistry::MemoryRegistry() {
  for (const KeyHandle r : {root::ClassesRoot, root::CurrentUser, root::LocalMachine, root::Users,
                            root::CurrentConfig}) {
    roots_[r] = std::make_shared<Node>();
  }
}

MemoryRegistry::~MemoryRegistry() = default;

MemoryRegistry::Node& MemoryRegistry::RootNode(KeyHandle rootKey) const {
  const auto it = roots_.find(rootKey);
  if (it == roots_.end()) throw std::invalid_argument("not a predefined registry root");
  return *it->second;
}

MemoryRegistry::Node* MemoryRegistry::Find(KeyHandle rootKey, const std::string& path) const {
  Node* node = &RootNode(rootKey);
  for (const auto& part : SplitPath(path)) {
    const auto it = node->children.find(Fold(part));
    if (it == node->children.end()) return nullptr;
    node = it->second.get();
  }
  return node;
}

MemoryRegistry::Node& MemoryRegistry::FindOrCreate(KeyHandle rootKey, const std::string& path) {
  Node* node = &RootNode(rootKey);
  for (const auto& part : SplitPath(path)) {
    auto& child = node->children[Fold(part)];
    if (!child) {
      child = std::make_shared<Node>();
      child->name = part;
    }
    node = child.get();
  }
  return *node;
}

void MemoryRegistry::CreateKey(KeyHandle rootKey, const std::string& path) {
  FindOrCreate(rootKey, path);
}

bool MemoryRegistry::DeleteKey(KeyHandle rootKey, const std::string& path) {
  auto parts = SplitPath(path);
  if (parts.empty()) return false;  // a root cannot be deleted
  const std::string last = Fold(parts.back());
  parts.pop_back();
  Node* parent = &RootNode(rootKey);
  for (const auto& part : parts) {
    const auto it = parent->children.find(Fold(part));
    if (it == parent->children.end()) return false;
    parent = it->second.get();
  }
  const auto it = parent->children.find(last);
  if (it == parent->children.end()) return false;
  it->second->MarkDeleted();
  parent->children.erase(it);
  return true;
}

void MemoryRegistry::SetValue(KeyHandle rootKey, const std::string& path, const std::string& name,
                              std::uint32_t type, std::string data) {
  Node& node = FindOrCreate(rootKey, path);
  if (RegistryValue* existing = node.FindValue(name)) {
    existing->type = type;
    existing->data = std::move(data);
  } else {
    node.values.push_back(RegistryValue{name, type, std::move(data)});
  }
}

bool MemoryRegistry::DeleteValue(KeyHandle rootKey, const std::string& path,
                                 const std::string& name) {
  Node* node = Find(rootKey, path);
  if (node == nullptr) return false;
  const auto it = std::find_if(node->values.begin(), node->values.end(),
                               [&](const auto& v) { return ansi::EqualsIgnoreCase(v.name, name); });
  if (it == node->values.end()) return false;
  node->values.erase(it);
  return true;
}

void MemoryRegistry::SetString(KeyHandle rootKey, const std::string& path, const std::string& name,
                               const std::string& ansiText) {
  SetValue(rootKey, path, name, value_type::Sz, ansiText + '\0');
}

void MemoryRegistry::SetMultiString(KeyHandle rootKey, const std::string& path,
                                    const std::string& name,
                                    const std::vector<std::string>& strings) {
  std::string data;
  for (const auto& s : strings) {
    data += s;
    data += '\0';
  }
  data += '\0';
  SetValue(rootKey, path, name, value_type::MultiSz, std::move(data));
}

void MemoryRegistry::SetDword(KeyHandle rootKey, const std::string& path, const std::string& name,
                              std::uint32_t value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i)
    data[static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
  SetValue(rootKey, path, name, value_type::Dword, std::move(data));
}

void MemoryRegistry::RestrictAccess(KeyHandle rootKey, const std::string& path,
                                    std::uint32_t allowedMask, bool recursive) {
  FindOrCreate(rootKey, path).Restrict(allowedMask, recursive);
}

bool MemoryRegistry::KeyExists(KeyHandle rootKey, const std::string& path) const {
  return Find(rootKey, path) != nullptr;
}

std::vector<std::string> MemoryRegistry::SubKeyNames(KeyHandle rootKey,
                                                     const std::string& path) const {
  std::vector<std::string> names;
  if (const Node* node = Find(rootKey, path)) {
    for (const auto& [_, child] : node->children) names.push_back(child->name);
  }
  return names;
}

std::optional<RegistryValue> MemoryRegistry::GetValue(KeyHandle rootKey, const std::string& path,
                                                      const std::string& name) const {
  Node* node = Find(rootKey, path);
  if (node == nullptr) return std::nullopt;
  if (const RegistryValue* v = node->FindValue(name)) return *v;
  return std::nullopt;
}

long MemoryRegistry::OpenKey(KeyHandle parent, const std::string& subKey, std::uint32_t accessMask,
                             KeyHandle& result) {
  std::shared_ptr<Node> node;
  if (const auto r = roots_.find(parent); r != roots_.end()) {
    node = r->second;
  } else if (const auto h = handles_.find(parent); h != handles_.end()) {
    node = h->second.node;
  } else {
    return error::InvalidHandle;
  }
  if (node->deleted) return kKeyDeleted;
  if (!subKey.empty() && subKey.front() == '\\') return error::BadPathname;

  const auto parts = SplitPath(subKey);
  if (parts.empty() && IsPredefined(parent)) {
    result = parent;  // as Windows does: "" below a root is the root itself
    return error::Success;
  }
  for (const auto& part : parts) {
    const auto it = node->children.find(Fold(part));
    if (it == node->children.end()) return error::FileNotFound;
    node = it->second;
  }
  if ((accessMask & ~node->allowed) != 0) return error::AccessDenied;

  const KeyHandle handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = Handle{node, accessMask};
  result = handle;
  return error::Success;
}

long MemoryRegistry::QueryValue(KeyHandle key, const std::string& name, std::uint32_t* type,
                                std::uint8_t* data, std::uint32_t* size) {
  // Like RegQueryValueExA, a buffer without its size is refused before the
  // key or the value is looked at.
  if (data != nullptr && size == nullptr) return error::InvalidParameter;
  Node* node = nullptr;
  if (const auto r = roots_.find(key); r != roots_.end()) {
    node = r->second.get();
  } else if (const auto h = handles_.find(key); h != handles_.end()) {
    if ((h->second.granted & access::QueryValue) == 0) return error::AccessDenied;
    node = h->second.node.get();
  } else {
    return error::InvalidHandle;
  }
  if (node->deleted) return kKeyDeleted;
  const RegistryValue* value = node->FindValue(name);
  if (value == nullptr) return error::FileNotFound;

  const auto needed = static_cast<std::uint32_t>(value->data.size());
  if (type != nullptr) *type = value->type;
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return error::Success;
  }
  if (*size < needed) {
    *size = needed;
    return error::MoreData;
  }
  if (needed > 0) std::memcpy(data, value->data.data(), needed);
  *size = needed;
  return error::Success;
}

long MemoryRegistry::CloseKey(KeyHandle key) {
  if (IsPredefined(key)) return error::Success;
  return handles_.erase(key) == 1 ? error::Success : error::InvalidHandle;
}

std::optional<std::string> MemoryRegistry::ErrorText(long code) {
  switch (code) {
    case error::FileNotFound:
      return "The system cannot find the file specified.\r\n";
    case error::AccessDenied:
      return "Access is denied.\r\n";
    case error::InvalidHandle:
      return "The handle is invalid.\r\n";
    case error::InvalidParameter:
      return "The parameter is incorrect.\r\n";
    case error::BadPathname:
      return "The specified path is invalid.\r\n";
    case error::MoreData:
      return "More data is available.\r\n";
    case kKeyDeleted:
      return "Illegal operation attempted on a registry key that has been marked for "
             "deletion.\r\n";
    default:
      return std::nullopt;
  }
}

}  // namespace vormlan::registry
