// The program's string and bitmap tables: registered while they live, looked up by number.
#include <algorithm>
#include <mutex>
#include <vector>

#include "forms_private.h"

namespace {

struct Tables {
  std::mutex mutex;
  std::vector<const StringTable*> strings;
  std::vector<const BitmapTable*> bitmaps;
};

Tables& TheTables() {
  static Tables* const tables = new Tables;
  return *tables;
}

[[noreturn]] void NotFound(int id) {
  Err.Raise(kErrResourceNotFound, u"LoadRes", u"Resource with identifier '" + CStr(id) + u"' not found");
}

}  // namespace

StringTable::StringTable(std::initializer_list<StringResource> strings) : strings_(strings) {
  const std::lock_guard<std::mutex> lock(TheTables().mutex);
  TheTables().strings.push_back(this);
}

StringTable::~StringTable() {
  const std::lock_guard<std::mutex> lock(TheTables().mutex);
  std::erase(TheTables().strings, this);
}

BitmapTable::BitmapTable(std::initializer_list<BitmapResource> bitmaps) : bitmaps_(bitmaps) {
  const std::lock_guard<std::mutex> lock(TheTables().mutex);
  TheTables().bitmaps.push_back(this);
}

BitmapTable::~BitmapTable() {
  const std::lock_guard<std::mutex> lock(TheTables().mutex);
  std::erase(TheTables().bitmaps, this);
}

std::u16string LoadResString(int id) {
  {
    const std::lock_guard<std::mutex> lock(TheTables().mutex);
    for (const StringTable* table : TheTables().strings) {
      for (const StringResource& entry : table->strings()) {
        if (entry.id == id) return entry.text;
      }
    }
  }
  NotFound(id);
}

Picture LoadResPicture(int id) {
  {
    const std::lock_guard<std::mutex> lock(TheTables().mutex);
    for (const BitmapTable* table : TheTables().bitmaps) {
      for (const BitmapResource& entry : table->bitmaps()) {
        if (entry.id == id) return Picture{id};
      }
    }
  }
  NotFound(id);
}
