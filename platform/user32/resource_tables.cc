// The programs' resource tables (winres.h): each registers its numbers for the module that holds it, as the
// resources of that program or DLL; a lookup finds a table by module, type and number.
#include <dlfcn.h>

#include <algorithm>

#include "user32_private.h"
#include "xp/debug.h"
#include "xp/loader.h"

XP_DEBUG_CHANNEL(user32);

namespace xp::user32 {
namespace {

struct Registration {
  HINSTANCE module;
  const res::ResourceTable* table;
};

struct Registry {
  std::mutex mutex;
  std::vector<Registration> tables;
};

Registry& Tables() {
  static Registry* const registry = new Registry;
  return *registry;
}

// The program's own module: what a NULL instance names.
HINSTANCE ProgramModule() {
  static const HINSTANCE program = ::dlopen(nullptr, RTLD_LAZY);
  return program;
}

const res::ResourceTable* FindLocked(const Registry& registry, HINSTANCE module, res::ResourceType type, int id) {
  for (const Registration& registration : registry.tables) {
    const res::ResourceTable& table = *registration.table;
    if (registration.module != module || table.type() != type) continue;
    if (std::find(table.ids().begin(), table.ids().end(), id) != table.ids().end()) return &table;
  }
  return nullptr;
}

const char* TypeName(res::ResourceType type) {
  switch (type) {
    case res::ResourceType::kDialog: return "dialog";
    case res::ResourceType::kString: return "string";
    case res::ResourceType::kIcon: return "icon";
    case res::ResourceType::kBitmap: return "bitmap";
  }
  return "resource";
}

}  // namespace

const res::ResourceTable* FindResourceTable(HINSTANCE instance, res::ResourceType type, int id) {
  Registry& registry = Tables();
  const std::lock_guard<std::mutex> lock(registry.mutex);
  return FindLocked(registry, instance != nullptr ? instance : ProgramModule(), type, id);
}

}  // namespace xp::user32

namespace xp::res {

ResourceTable::ResourceTable(ResourceType type, std::vector<int> ids) : type_(type), ids_(std::move(ids)) {}

void ResourceTable::Register() {
  HINSTANCE module = ModuleOf(this);
  if (module == nullptr) {
    XP_ERR("ResourceTable", "a table outside every module counts as the program's");
    module = user32::ProgramModule();
  }
  user32::Registry& registry = user32::Tables();
  const std::lock_guard<std::mutex> lock(registry.mutex);
  for (auto id = ids_.begin(); id != ids_.end(); ++id) {
    if (std::find(ids_.begin(), id, *id) != id || user32::FindLocked(registry, module, type_, *id) != nullptr) {
      XP_ERR("ResourceTable", "%s %d is declared twice; the first one is used", user32::TypeName(type_), *id);
    }
  }
  registry.tables.push_back({module, this});
}

ResourceTable::~ResourceTable() {
  user32::Registry& registry = user32::Tables();
  const std::lock_guard<std::mutex> lock(registry.mutex);
  std::erase_if(registry.tables, [this](const user32::Registration& registration) {
    return registration.table == this;
  });
}

}  // namespace xp::res
