// The programs' dialog tables: DialogBoxParam finds a template by module and number.
#include "user32_private.h"

namespace xp::user32 {

const res::DialogTemplate* FindDialogTemplate(HINSTANCE instance, int id) {
  const auto* table =
      static_cast<const res::DialogResources*>(FindResourceTable(instance, res::ResourceType::kDialog, id));
  if (table == nullptr) return nullptr;
  for (const res::DialogTemplate& dialog : table->dialogs()) {
    if (dialog.id == id) return &dialog;
  }
  return nullptr;
}

}  // namespace xp::user32

namespace xp::res {

DialogResources::DialogResources(std::initializer_list<DialogTemplate> dialogs)
    : ResourceTable(ResourceType::kDialog, user32::IdsOf(dialogs)), dialogs_(dialogs) {
  Register();
}

}  // namespace xp::res
