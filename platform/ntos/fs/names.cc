// Names on a model volume: Windows paths ("\dir\file") checked for XP's rules and found in the host folder
// ignoring case (through the volume's name index), keeping the case each name was created with.

#include "fs/model_fs.h"
#include "include/internal/rtl.h"

namespace xp::ntos::fs {
namespace {

constexpr size_t kMaxComponent = 255;

bool ValidComponent(std::u16string_view name) {
  if (name.empty() || name.size() > kMaxComponent) return false;
  for (char16_t c : name) {
    if (c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'/' || c == u'|' || c == u'?' ||
        c == u'*' || c == u'\\') {
      return false;
    }
  }
  return true;
}

}  // namespace

bool SplitPath(std::u16string_view path, std::vector<std::u16string>* components, NTSTATUS* status) {
  components->clear();
  std::u16string text(path);
  // The unnamed data stream named explicitly is the file itself; other named streams are not kept here.
  const std::u16string data_suffix = u"::$DATA";
  if (text.size() > data_suffix.size() && rtl::EqualNoCase(text.substr(text.size() - data_suffix.size()), data_suffix)) {
    text.resize(text.size() - data_suffix.size());
  }
  size_t start = 0;
  while (start < text.size()) {
    if (text[start] == u'\\') {
      ++start;
      continue;
    }
    const size_t end = text.find(u'\\', start);
    const std::u16string component = text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
    if (component == u"." || component == u".." || !ValidComponent(component)) {
      *status = STATUS_OBJECT_NAME_INVALID;
      return false;
    }
    components->push_back(component);
    if (end == std::u16string::npos) break;
    start = end + 1;
  }
  return true;
}

std::u16string JoinPath(const std::vector<std::u16string>& components) {
  if (components.empty()) return u"\\";
  std::u16string path;
  for (const std::u16string& component : components) path += u"\\" + component;
  return path;
}

size_t Resolve(const Vcb& vcb, const std::vector<std::u16string>& components, std::filesystem::path* host,
               std::vector<std::u16string>* disk_names) {
  return vcb.names.Walk(vcb.disk->root, components, host, disk_names);
}

std::filesystem::path HostPath(const Vcb& vcb, const std::u16string& path) {
  std::filesystem::path host = vcb.disk->root;
  std::vector<std::u16string> components;
  NTSTATUS ignored;
  SplitPath(path, &components, &ignored);
  for (const std::u16string& component : components) host /= rtl::ToUtf8(component);
  return host;
}

std::u16string KeyOf(std::u16string_view path) { return rtl::Upcase(path); }

std::u16string ParentOf(const std::u16string& path) {
  const size_t slash = path.rfind(u'\\');
  return slash == 0 || slash == std::u16string::npos ? u"\\" : path.substr(0, slash);
}

std::u16string LastComponent(const std::u16string& path) {
  const size_t slash = path.rfind(u'\\');
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

}  // namespace xp::ntos::fs
