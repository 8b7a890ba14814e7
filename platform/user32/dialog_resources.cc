// The programs' dialog tables (winres.h): each registers its dialogs for the module that holds it, as the
// resources of that program or DLL, and DialogBoxParam finds a template by module and number.
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
  const res::DialogResources* table;
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

const res::DialogTemplate* FindIn(const res::DialogResources& table, int id) {
  for (const res::DialogTemplate& dialog : table.dialogs()) {
    if (dialog.id == id) return &dialog;
  }
  return nullptr;
}

const res::DialogTemplate* FindLocked(const Registry& registry, HINSTANCE module, int id) {
  for (const Registration& registration : registry.tables) {
    if (registration.module != module) continue;
    if (const res::DialogTemplate* found = FindIn(*registration.table, id)) return found;
  }
  return nullptr;
}

}  // namespace

const res::DialogTemplate* FindDialogTemplate(HINSTANCE instance, int id) {
  Registry& registry = Tables();
  const std::lock_guard<std::mutex> lock(registry.mutex);
  return FindLocked(registry, instance != nullptr ? instance : ProgramModule(), id);
}

}  // namespace xp::user32

namespace xp::res {

DialogResources::DialogResources(std::initializer_list<DialogTemplate> dialogs) : dialogs_(dialogs) {
  HINSTANCE module = ModuleOf(this);
  if (module == nullptr) {
    XP_ERR("DialogResources", "a table outside every module counts as the program's");
    module = user32::ProgramModule();
  }
  user32::Registry& registry = user32::Tables();
  const std::lock_guard<std::mutex> lock(registry.mutex);
  for (size_t i = 0; i < dialogs_.size(); ++i) {
    const int id = dialogs_[i].id;
    const bool earlier = std::any_of(dialogs_.begin(), dialogs_.begin() + static_cast<ptrdiff_t>(i),
                                     [id](const DialogTemplate& dialog) { return dialog.id == id; });
    if (earlier || user32::FindLocked(registry, module, id) != nullptr) {
      XP_ERR("DialogResources", "dialog %d is declared twice; the first one is used", id);
    }
  }
  registry.tables.push_back({module, this});
}

DialogResources::~DialogResources() {
  user32::Registry& registry = user32::Tables();
  const std::lock_guard<std::mutex> lock(registry.mutex);
  std::erase_if(registry.tables, [this](const user32::Registration& registration) {
    return registration.table == this;
  });
}

}  // namespace xp::res
