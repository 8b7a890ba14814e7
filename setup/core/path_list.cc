// DirFileList, the path list the setup programs load the install folder's lists into: nodes and names live on
// setupcore's heap and are freed only here; names are compared ignoring case, a name is never listed twice, and
// new names go to the tail.
#include <cstdlib>
#include <cstring>

#include "setupcore_private.h"

namespace tavik::setupcore {
namespace {

bool SameName(const char* a, const char* b) { return EqualsIgnoringCase(a, b); }

}  // namespace
}  // namespace tavik::setupcore

using tavik::setupcore::SameName;

// Exported by setupcore.
char add_to_list(const char* path, DirFileList** list) {
  DirFileList** tail = list;
  for (; *tail != nullptr; tail = &(*tail)->next) {
    if (SameName((*tail)->name, path)) return 2;
  }
  auto* node = static_cast<DirFileList*>(std::malloc(sizeof(DirFileList)));
  if (node == nullptr) return 1;
  const size_t size = std::strlen(path) + 1;
  node->name = static_cast<char*>(std::malloc(size));
  if (node->name == nullptr) {
    std::free(node);
    return 1;
  }
  std::memcpy(node->name, path, size);
  node->next = nullptr;
  *tail = node;
  return 0;
}

// Exported by setupcore.
char del_from_list(const char* path, DirFileList** list) {
  for (DirFileList** link = list; *link != nullptr; link = &(*link)->next) {
    if (SameName((*link)->name, path)) {
      DirFileList* node = *link;
      *link = node->next;
      free_element(node);
      return 0;
    }
  }
  return 1;
}

// Exported by setupcore.
bool isInList(const char* path, DirFileList** list) {
  for (const DirFileList* node = *list; node != nullptr; node = node->next) {
    if (SameName(node->name, path)) return true;
  }
  return false;
}

// Exported by setupcore.
int matchInList(const char* path, DirFileList** list) {
  if (path == nullptr) return -1;
  const std::string_view text = path;
  size_t longest = 0;
  for (const DirFileList* node = *list; node != nullptr; node = node->next) {
    const std::string_view entry = node->name;
    if (!tavik::setupcore::StartsWithIgnoringCase(text, entry)) continue;
    if (text.size() != entry.size() && text[entry.size()] != '\\') continue;
    if (entry.size() > longest) longest = entry.size();
  }
  return static_cast<int>(longest);
}

// Exported by setupcore.
void free_element(DirFileList* node) {
  if (node == nullptr) return;
  std::free(node->name);
  std::free(node);
}

// Exported by setupcore.
void free_all_dir_file_list(DirFileList* head) {
  while (head != nullptr) {
    DirFileList* next = head->next;
    free_element(head);
    head = next;
  }
}
