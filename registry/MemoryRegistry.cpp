#include "registry/MemoryRegistry.h"

#include <cstring>
#include <stdexcept>

#include "common/Ansi.h"
#include "common/Unicode.h"
#include "registry/ErrorTexts.h"
#include "registry/KeyPath.h"

namespace vormlan::registry {
namespace {

// Up to this many values a key is searched in order; beyond, it keeps an
// index by folded name.
constexpr std::size_t kIndexFrom = 8;

}  // namespace

struct MemoryRegistry::Node {
  std::string name;
  std::uint32_t allowed = access::AllAccess | 0xFFFF0000u;  // everything
  bool deleted = false;
  std::map<std::string, std::shared_ptr<Node>> children;  // by folded name
  // Values in the order first set; erased ones are kept as dead slots until
  // they outnumber the live ones.
  std::vector<RegistryValue> values;
  std::vector<bool> live;
  std::size_t deadCount = 0;
  std::unordered_map<std::string, std::size_t> index;  // folded name -> slot, once large

  void MarkDeleted() {
    if (deleted) return;
    deleted = true;
    for (auto& [_, child] : children) child->MarkDeleted();
  }
  void Restrict(std::uint32_t mask, bool recursive) {
    allowed = mask;
    if (!recursive) return;
    for (auto& [_, child] : children) child->Restrict(mask, true);
  }
};

MemoryRegistry::MemoryRegistry(TextEncoding encoding) : encoding_(encoding) {
  for (const KeyHandle r : {root::ClassesRoot, root::CurrentUser, root::LocalMachine, root::Users,
                            root::CurrentConfig}) {
    roots_[r] = std::make_shared<Node>();
  }
}

MemoryRegistry::~MemoryRegistry() = default;

std::string MemoryRegistry::Fold(std::string_view name) const {
  if (encoding_ == TextEncoding::Utf8) return unicode::Fold(name);
  std::string folded(name);
  for (char& c : folded) c = static_cast<char>(ansi::ToUpper(static_cast<unsigned char>(c)));
  return folded;
}

MemoryRegistry::Node& MemoryRegistry::RootNode(KeyHandle rootKey) const {
  const auto it = roots_.find(rootKey);
  if (it == roots_.end()) throw std::invalid_argument("not a predefined registry root");
  return *it->second;
}

MemoryRegistry::Node* MemoryRegistry::Find(KeyHandle rootKey, std::string_view path) const {
  Node* node = &RootNode(rootKey);
  const bool found = ForEachComponent(path, [&](std::string_view part) {
    const auto it = node->children.find(Fold(part));
    if (it == node->children.end()) return false;
    node = it->second.get();
    return true;
  });
  return found ? node : nullptr;
}

MemoryRegistry::Node& MemoryRegistry::FindOrCreate(KeyHandle rootKey, std::string_view path) {
  return FindOrCreate(RootNode(rootKey), path);
}

MemoryRegistry::Node& MemoryRegistry::FindOrCreate(Node& start, std::string_view path) {
  Node* node = &start;
  ForEachComponent(path, [&](std::string_view part) {
    auto& child = node->children[Fold(part)];
    if (!child) {
      child = std::make_shared<Node>();
      child->name = std::string(part);
    }
    node = child.get();
    return true;
  });
  return *node;
}

RegistryValue* MemoryRegistry::FindValue(Node& node, std::string_view name) const {
  if (!node.index.empty() || node.values.size() > kIndexFrom) {
    const auto it = node.index.find(Fold(name));
    return it == node.index.end() ? nullptr : &node.values[it->second];
  }
  for (std::size_t i = 0; i < node.values.size(); ++i) {
    if (!node.live[i]) continue;
    const bool same = encoding_ == TextEncoding::Utf8
                          ? unicode::EqualsIgnoreCase(node.values[i].name, name)
                          : ansi::EqualsIgnoreCase(node.values[i].name, name);
    if (same) return &node.values[i];
  }
  return nullptr;
}

MemoryRegistry::KeyRef MemoryRegistry::CreateKey(KeyHandle rootKey, std::string_view path) {
  return KeyRef(&FindOrCreate(rootKey, path));
}

MemoryRegistry::KeyRef MemoryRegistry::CreateKey(KeyRef parent, std::string_view path) {
  return KeyRef(&FindOrCreate(*parent.node_, path));
}

bool MemoryRegistry::DeleteKey(KeyHandle rootKey, std::string_view path) {
  Node* parent = &RootNode(rootKey);
  std::string last;
  bool missing = false;
  ForEachComponent(path, [&](std::string_view part) {
    if (!last.empty()) {
      const auto it = parent->children.find(last);
      if (it == parent->children.end()) {
        missing = true;
        return false;
      }
      parent = it->second.get();
    }
    last = Fold(part);
    return true;
  });
  if (missing || last.empty()) return false;  // a root cannot be deleted
  const auto it = parent->children.find(last);
  if (it == parent->children.end()) return false;
  it->second->MarkDeleted();
  parent->children.erase(it);
  return true;
}

void MemoryRegistry::SetValue(KeyHandle rootKey, std::string_view path, std::string_view name,
                              std::uint32_t type, std::string data) {
  SetValue(CreateKey(rootKey, path), name, type, std::move(data));
}

void MemoryRegistry::SetValue(KeyRef key, std::string_view name, std::uint32_t type,
                              std::string data) {
  Node& node = *key.node_;
  if (RegistryValue* existing = FindValue(node, name)) {
    existing->type = type;
    existing->data = std::move(data);
    return;
  }
  node.values.push_back(RegistryValue{std::string(name), type, std::move(data)});
  node.live.push_back(true);
  if (!node.index.empty()) {
    node.index.emplace(Fold(name), node.values.size() - 1);
  } else if (node.values.size() > kIndexFrom) {
    for (std::size_t i = 0; i < node.values.size(); ++i) {
      if (node.live[i]) node.index.emplace(Fold(node.values[i].name), i);
    }
  }
}

void MemoryRegistry::Compact(KeyRef key) {
  key.node_->values.shrink_to_fit();
  key.node_->live.shrink_to_fit();
}

bool MemoryRegistry::DeleteValue(KeyHandle rootKey, std::string_view path, std::string_view name) {
  Node* node = Find(rootKey, path);
  return node != nullptr && DeleteValue(KeyRef(node), name);
}

bool MemoryRegistry::DeleteValue(KeyRef key, std::string_view name) {
  Node& node = *key.node_;
  const RegistryValue* found = FindValue(node, name);
  if (found == nullptr) return false;
  const auto slot = static_cast<std::size_t>(found - node.values.data());
  node.live[slot] = false;
  node.values[slot].data.clear();
  node.values[slot].data.shrink_to_fit();
  if (!node.index.empty()) node.index.erase(Fold(node.values[slot].name));
  ++node.deadCount;
  // Compact once the dead slots outnumber the live ones: each slot is moved
  // at most once per deletion that made it necessary, so deleting stays linear.
  if (node.deadCount > node.values.size() / 2) {
    std::vector<RegistryValue> kept;
    kept.reserve(node.values.size() - node.deadCount);
    for (std::size_t i = 0; i < node.values.size(); ++i) {
      if (node.live[i]) kept.push_back(std::move(node.values[i]));
    }
    node.values = std::move(kept);
    node.live.assign(node.values.size(), true);
    node.deadCount = 0;
    node.index.clear();
    if (node.values.size() > kIndexFrom) {
      for (std::size_t i = 0; i < node.values.size(); ++i) {
        node.index.emplace(Fold(node.values[i].name), i);
      }
    }
  }
  return true;
}

void MemoryRegistry::SetString(KeyHandle rootKey, const std::string& path, const std::string& name,
                               const std::string& text) {
  SetValue(rootKey, path, name, value_type::Sz, text + '\0');
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

bool MemoryRegistry::AddAlias(KeyHandle rootKey, std::string_view aliasPath,
                              std::string_view targetPath) {
  const auto sep = aliasPath.rfind('\\');
  const std::string_view parentPath =
      sep == std::string_view::npos ? std::string_view() : aliasPath.substr(0, sep);
  const std::string_view aliasName =
      sep == std::string_view::npos ? aliasPath : aliasPath.substr(sep + 1);

  std::shared_ptr<Node> target;
  Node* node = &RootNode(rootKey);
  const bool targetFound = ForEachComponent(targetPath, [&](std::string_view part) {
    const auto it = node->children.find(Fold(part));
    if (it == node->children.end()) return false;
    target = it->second;
    node = target.get();
    return true;
  });
  if (!targetFound || !target || aliasName.empty()) return false;

  // The alias must not lie below its own target, or the tree would loop.
  Node* parent = &RootNode(rootKey);
  const bool parentFound = ForEachComponent(parentPath, [&](std::string_view part) {
    const auto it = parent->children.find(Fold(part));
    if (it == parent->children.end() || it->second == target) return false;
    parent = it->second.get();
    return true;
  });
  return parentFound && parent->children.emplace(Fold(aliasName), target).second;
}

bool MemoryRegistry::KeyExists(KeyHandle rootKey, std::string_view path) const {
  return Find(rootKey, path) != nullptr;
}

std::vector<std::string> MemoryRegistry::SubKeyNames(KeyHandle rootKey,
                                                     std::string_view path) const {
  std::vector<std::string> names;
  if (const Node* node = Find(rootKey, path)) {
    names.reserve(node->children.size());
    for (const auto& [folded, child] : node->children) {
      // An alias shows under its own name, like CurrentControlSet.
      names.push_back(Fold(child->name) == folded ? child->name : folded);
    }
  }
  return names;
}

std::optional<RegistryValue> MemoryRegistry::GetValue(KeyHandle rootKey, std::string_view path,
                                                      std::string_view name) const {
  Node* node = Find(rootKey, path);
  if (node == nullptr) return std::nullopt;
  if (const RegistryValue* v = FindValue(*node, name)) return *v;
  return std::nullopt;
}

std::vector<RegistryValue> MemoryRegistry::Values(KeyHandle rootKey, std::string_view path) const {
  std::vector<RegistryValue> values;
  if (const Node* node = Find(rootKey, path)) {
    for (std::size_t i = 0; i < node->values.size(); ++i) {
      if (node->live[i]) values.push_back(node->values[i]);
    }
  }
  return values;
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
  if (node->deleted) return error::KeyDeleted;
  if (!subKey.empty() && subKey.front() == '\\') return error::BadPathname;

  bool any = false;
  const bool found = ForEachComponent(subKey, [&](std::string_view part) {
    any = true;
    const auto it = node->children.find(Fold(part));
    if (it == node->children.end()) return false;
    node = it->second;
    return true;
  });
  if (!found) return error::FileNotFound;
  if (!any && IsPredefined(parent)) {
    result = parent;  // as Windows does: "" below a root is the root itself
    return error::Success;
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
  std::uint32_t granted = 0;
  if (const long rc = NodeOf(key, node, &granted); rc != error::Success) return rc;
  if ((granted & access::QueryValue) == 0) return error::AccessDenied;
  if (node->deleted) return error::KeyDeleted;
  const RegistryValue* value = FindValue(*node, name);
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

long MemoryRegistry::NodeOf(KeyHandle key, Node*& node, std::uint32_t* granted) const {
  if (const auto r = roots_.find(key); r != roots_.end()) {
    node = r->second.get();
    if (granted != nullptr) *granted = access::AllAccess | 0xFFFF0000u;
  } else if (const auto h = handles_.find(key); h != handles_.end()) {
    node = h->second.node.get();
    if (granted != nullptr) *granted = h->second.granted;
  } else {
    return error::InvalidHandle;
  }
  return error::Success;
}

long MemoryRegistry::EnumSubKeys(KeyHandle key, std::vector<std::string>& names) {
  Node* node = nullptr;
  std::uint32_t granted = 0;
  if (const long rc = NodeOf(key, node, &granted); rc != error::Success) return rc;
  if ((granted & access::EnumerateSubKeys) == 0) return error::AccessDenied;
  if (node->deleted) return error::KeyDeleted;
  std::vector<std::string> found;
  found.reserve(node->children.size());
  for (const auto& [folded, child] : node->children) {
    found.push_back(Fold(child->name) == folded ? child->name : folded);
  }
  names = std::move(found);
  return error::Success;
}

long MemoryRegistry::CloseKey(KeyHandle key) {
  if (IsPredefined(key)) return error::Success;
  return handles_.erase(key) == 1 ? error::Success : error::InvalidHandle;
}

std::optional<std::string> MemoryRegistry::ErrorText(long code) {
  return EnglishErrorText(code);
}

}  // namespace vormlan::registry
