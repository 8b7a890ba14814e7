// The machine's ANSI code page (machine.ini "ansi_code_page"), and the conversions of the pages that are no table of
// ours: iconv's "CP<n>" converters, one pair per thread and page, opened once.
#include "code_page.h"

#include <iconv.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "xp/machine.h"
#include "xp/registry.h"

namespace xp::registry {
namespace {

constexpr uint32_t kDefaultCodePage = 1252;

// machine.ini is read again only when it changed: every A call converts text.
struct CachedPage {
  std::string root;
  int64_t modified_ns = -1;
  uint32_t code_page = kDefaultCodePage;
};

int64_t ModifiedNs(const std::filesystem::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

class Converter {
 public:
  Converter(const std::string& to, const std::string& from) : handle_(::iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (usable()) ::iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool usable() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t handle() const { return handle_; }

 private:
  iconv_t handle_;
};

struct Pair {
  Pair(uint32_t code_page)
      : to_utf16("UTF-16LE", "CP" + std::to_string(code_page)),
        from_utf16("CP" + std::to_string(code_page), "UTF-16LE") {}
  Converter to_utf16;
  Converter from_utf16;
};

Pair& ConvertersFor(uint32_t code_page) {
  thread_local std::map<uint32_t, Pair> pairs;
  return pairs.try_emplace(code_page, code_page).first->second;
}

// Converts as much of `in` as iconv can; returns false at a sequence it cannot take (in and out then point at it).
bool Run(iconv_t handle, const char** in, size_t* in_left, std::string* out) {
  char buffer[1024];
  while (*in_left > 0) {
    char* at = buffer;
    size_t room = sizeof buffer;
    const size_t done = ::iconv(handle, const_cast<char**>(in), in_left, &at, &room);
    out->append(buffer, static_cast<size_t>(at - buffer));
    if (done == static_cast<size_t>(-1) && errno != E2BIG) return false;
  }
  return true;
}

}  // namespace

uint32_t AnsiCodePage() {
  static std::mutex mutex;
  static CachedPage cached;
  if (!machine::Present()) return kDefaultCodePage;
  const std::filesystem::path& root = machine::Root();
  const int64_t modified = ModifiedNs(root / "machine.ini");
  const std::lock_guard<std::mutex> lock(mutex);
  if (cached.root != root.string() || cached.modified_ns != modified) {
    uint32_t code_page = kDefaultCodePage;
    if (const std::optional<std::string> setting = machine::Setting("ansi_code_page")) {
      try {
        code_page = static_cast<uint32_t>(std::stoul(*setting));
      } catch (const std::exception&) {
        code_page = kDefaultCodePage;
      }
    }
    if (code_page != kDefaultCodePage && !ConvertersFor(code_page).to_utf16.usable()) code_page = kDefaultCodePage;
    cached = {root.string(), modified, code_page};
  }
  return cached.code_page;
}

std::u16string MultiByteToUtf16(uint32_t code_page, std::string_view bytes) {
  const Converter& converter = ConvertersFor(code_page).to_utf16;
  std::string wide;
  const char* in = bytes.data();
  size_t left = bytes.size();
  while (!Run(converter.handle(), &in, &left, &wide)) {
    wide += std::string("?\0", 2);  // one byte that starts no character
    ++in;
    --left;
    ::iconv(converter.handle(), nullptr, nullptr, nullptr, nullptr);
  }
  std::u16string text(wide.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(wide[2 * i]) |
                                    (static_cast<unsigned char>(wide[2 * i + 1]) << 8));
  }
  return text;
}

std::string Utf16ToMultiByte(uint32_t code_page, std::u16string_view text) {
  const Converter& converter = ConvertersFor(code_page).from_utf16;
  std::string wide;
  wide.reserve(text.size() * 2);
  for (const char16_t c : text) {
    wide.push_back(static_cast<char>(c & 0xFF));
    wide.push_back(static_cast<char>(c >> 8));
  }
  std::string bytes;
  const char* in = wide.data();
  size_t left = wide.size();
  while (!Run(converter.handle(), &in, &left, &bytes)) {
    // A character the page lacks (a surrogate pair counts as one).
    const auto unit = static_cast<char16_t>(static_cast<unsigned char>(in[0]) |
                                            (left > 1 ? static_cast<unsigned char>(in[1]) << 8 : 0));
    const size_t skip = unit >= 0xD800 && unit <= 0xDBFF && left >= 4 ? 4 : std::min<size_t>(2, left);
    bytes.push_back('?');
    in += skip;
    left -= skip;
    ::iconv(converter.handle(), nullptr, nullptr, nullptr, nullptr);
  }
  return bytes;
}

}  // namespace xp::registry
