// User data kept on the token across pages: a 16-bit little-endian total length (data + 2), then the data, from
// byte 0 of the first page on and at byte 0 of each following page, 512 bytes a page. The rest of the last page
// keeps its old bytes.
#include <algorithm>
#include <cstring>
#include <vector>

#include "tokenapi.h"
#include "tokenio.h"

namespace tavik::tokenapi {
namespace {

constexpr int kPageSize = 512;
constexpr int kFirstUserPage = 2;
constexpr int kLastPage = 31;
constexpr int kLengthSize = 2;
constexpr int kMaxDataLength = 2560;

// A blob of `total` bytes from first_page on lies within the user pages.
bool FitsOnToken(int first_page, int total) {
  const int pages = (total + kPageSize - 1) / kPageSize;
  return first_page >= kFirstUserPage && first_page <= kLastPage && first_page + pages - 1 <= kLastPage;
}

bool ReadBlob(int first_page, int total, unsigned char* blob) {
  for (int done = 0, page = first_page; done < total; done += kPageSize, ++page) {
    const int piece = std::min(kPageSize, total - done);
    if (ReadUserDataPage(page, 0, piece, blob + done) != 1) return false;
  }
  return true;
}

}  // namespace
}  // namespace tavik::tokenapi

using namespace tavik::tokenapi;

// Exported by tokenapi. *len: 0 to ask for the data's length, else the capacity of out; the data's length out.
// A stored length the blob format cannot have is refused, never trusted.
extern "C" int NuboReadUserData(unsigned char* out, int* len, int firstPage) {
  if (len == nullptr || *len < 0 || !FitsOnToken(firstPage, kLengthSize)) return 1;
  unsigned char head[kLengthSize];
  if (ReadUserDataPage(firstPage, 0, kLengthSize, head) != 1) return 1;
  const int total = head[0] | (head[1] << 8);
  if (total < kLengthSize || total > kMaxDataLength + kLengthSize || !FitsOnToken(firstPage, total)) return 1;
  const int capacity = *len;
  *len = total - kLengthSize;
  if (capacity == 0) return 0;
  if (out == nullptr || total - kLengthSize > capacity) return 1;
  std::vector<unsigned char> blob(static_cast<size_t>(total));
  if (!ReadBlob(firstPage, total, blob.data())) return 1;
  std::memcpy(out, blob.data() + kLengthSize, static_cast<size_t>(total - kLengthSize));
  return 0;
}

// Exported by tokenapi. Nothing is written unless the whole blob fits on the user pages.
extern "C" int NuboWriteUserData(unsigned char* data, int len, int firstPage) {
  if (len < 0 || len > kMaxDataLength || (data == nullptr && len > 0)) return 1;
  const int total = len + kLengthSize;
  if (!FitsOnToken(firstPage, total)) return 1;
  std::vector<unsigned char> blob(static_cast<size_t>(total));
  blob[0] = static_cast<unsigned char>(total & 0xFF);
  blob[1] = static_cast<unsigned char>(total >> 8);
  if (len > 0) std::memcpy(blob.data() + kLengthSize, data, static_cast<size_t>(len));
  for (int done = 0, page = firstPage; done < total; done += kPageSize, ++page) {
    const int piece = std::min(kPageSize, total - done);
    if (WriteUserDataPage(page, 0, piece, blob.data() + done) != 1) return 1;
  }
  return 0;
}
