// The Windows accounts kept on the token: a MiniAccountList in the user-data blob at user page 6. The list is a
// count byte, then per account its size S (16 bits) and S bytes: a header of ten 32-bit words (reserved 0, domain
// offset and bytes, user offset 40 and bytes, password offset and bytes, comment offset and bytes, flags 0) and the
// four strings, UTF-16 with their NUL, in the order user, domain, password, comment. Reading puts each account at
// the head of the list, so the list in memory runs in the reverse of the stored order.
#include <cstring>
#include <optional>
#include <vector>

#include "logongate_private.h"
#include "tokenapi.h"
#include "tokenio.h"

namespace tavik::logongate {

const char kSaveFailure[] =
    "Unable to save account information.\r\nYour Tavik may contain too many credentials. After login, please use "
    "the \r\nManage Accounts tool to delete some accounts on your Tavik.";

namespace {

constexpr int kFirstPage = 6;
constexpr int kPageSize = 512;
constexpr size_t kAreaSize = 1024;
constexpr size_t kPackedLimit = 1020;
constexpr int kLargestBlob = 4094;
constexpr uint32_t kHeaderSize = 40;
constexpr size_t kHeaderWords = 10;
// A list of at most 1023 bytes in its blob (2 length bytes first) reaches one byte into page 8.
constexpr int kLastByteOfLargestList = 2 * kPageSize;

enum Word { kReserved, kDomainOffset, kDomainBytes, kUserOffset, kUserBytes, kPasswordOffset, kPasswordBytes,
            kCommentOffset, kCommentBytes, kFlags };

void PutWord(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetWord(const uint8_t* at) {
  return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

uint32_t Bytes(const std::u16string& text) { return static_cast<uint32_t>((text.size() + 1) * sizeof(char16_t)); }

void PutString(uint8_t* at, const std::u16string& text) {
  for (size_t i = 0; i <= text.size(); ++i) {
    const char16_t c = i < text.size() ? text[i] : u'\0';
    at[2 * i] = static_cast<uint8_t>(c);
    at[2 * i + 1] = static_cast<uint8_t>(c >> 8);
  }
}

// A string of a stored record, checked against the record: inside it, after the header, a whole number of UTF-16
// units ended by a NUL. nullopt for anything else.
std::optional<std::u16string> GetString(const uint8_t* record, uint32_t size, uint32_t offset, uint32_t bytes) {
  if (offset < kHeaderSize || bytes < 2 || bytes % 2 != 0 || offset > size || bytes > size - offset) {
    return std::nullopt;
  }
  std::u16string text;
  for (uint32_t i = 0; i + 2 <= bytes; i += 2) {
    text += static_cast<char16_t>(record[offset + i] | (record[offset + i + 1] << 8));
  }
  if (text.back() != u'\0') return std::nullopt;
  text.pop_back();
  if (text.find(u'\0') != std::u16string::npos) return std::nullopt;
  return text;
}

// The accounts of a stored list, or as many as come before the first record that does not hold together.
Account* ParseAccounts(const std::vector<uint8_t>& data) {
  Account* head = nullptr;
  if (data.empty()) return head;
  const int count = data[0];
  size_t at = 1;
  for (int n = 0; n < count; ++n) {
    if (at + 2 > data.size()) break;
    const uint32_t size = data[at] | (data[at + 1] << 8);
    const uint8_t* record = data.data() + at + 2;
    if (size < kHeaderSize || size > data.size() - at - 2) break;
    at += 2 + size;
    uint32_t words[kHeaderWords];
    for (size_t w = 0; w < kHeaderWords; ++w) words[w] = GetWord(record + 4 * w);
    if (words[kReserved] != 0) continue;
    const std::optional<std::u16string> user = GetString(record, size, words[kUserOffset], words[kUserBytes]);
    const std::optional<std::u16string> domain = GetString(record, size, words[kDomainOffset], words[kDomainBytes]);
    const std::optional<std::u16string> password =
        GetString(record, size, words[kPasswordOffset], words[kPasswordBytes]);
    const std::optional<std::u16string> comment =
        GetString(record, size, words[kCommentOffset], words[kCommentBytes]);
    if (!user || !domain || !password || !comment) {
      LogEvent(kWarning, "Account record %d of the token does not hold together; the list ends there\n", n + 1);
      break;
    }
    head = new Account{head, *user, *domain, *password, *comment, words[kFlags]};
  }
  return head;
}

// Erases what a longer list left beyond the blob's end, so no deleted account's password stays on the token.
void EraseAfter(int blob_size) {
  uint8_t erased[kPageSize];
  std::memset(erased, 0xFF, sizeof erased);
  for (int at = blob_size; at <= kLastByteOfLargestList;) {
    const int page = kFirstPage + at / kPageSize;
    const int offset = at % kPageSize;
    const int length = at == kLastByteOfLargestList ? 1 : kPageSize - offset;
    WriteUserDataPage(page, offset, length, erased);
    at += length;
  }
}

}  // namespace

bool SaveMiniAccount(Account* head) {
  uint8_t area[kAreaSize] = {};
  size_t packed = 0;
  int count = 0;
  for (const Account* account = head; account != nullptr; account = account->next) {
    const uint32_t size = kHeaderSize + Bytes(account->user) + Bytes(account->domain) + Bytes(account->password) +
                          Bytes(account->comment);
    if (packed + size > kPackedLimit) return false;
    uint8_t* at = area + 1 + packed;
    at[0] = static_cast<uint8_t>(size);
    at[1] = static_cast<uint8_t>(size >> 8);
    uint8_t* record = at + 2;
    const uint32_t user_offset = kHeaderSize;
    const uint32_t domain_offset = user_offset + Bytes(account->user);
    const uint32_t password_offset = domain_offset + Bytes(account->domain);
    const uint32_t comment_offset = password_offset + Bytes(account->password);
    const uint32_t words[kHeaderWords] = {0,
                                          domain_offset,
                                          Bytes(account->domain),
                                          user_offset,
                                          Bytes(account->user),
                                          password_offset,
                                          Bytes(account->password),
                                          comment_offset,
                                          Bytes(account->comment),
                                          0};
    for (size_t w = 0; w < kHeaderWords; ++w) PutWord(record + 4 * w, words[w]);
    PutString(record + user_offset, account->user);
    PutString(record + domain_offset, account->domain);
    PutString(record + password_offset, account->password);
    PutString(record + comment_offset, account->comment);
    packed += 2 + size;
    ++count;
  }
  area[0] = static_cast<uint8_t>(count);
  if (NuboIsPinChecked() == 0) ShowTokenPassword(nullptr);
  if (NuboWriteUserData(area, static_cast<int>(packed + 1), kFirstPage) != 0) return false;
  EraseAfter(static_cast<int>(packed + 1 + 2));
  return true;
}

bool LoadMiniAccounts(LogonState* state) {
  freeAccountList();
  if (NuboIsPinChecked() == 0) ShowTokenPassword(nullptr);
  int length = 0;
  if (NuboReadUserData(nullptr, &length, kFirstPage) != 0 || length <= 0 || length > kLargestBlob) return false;
  std::vector<uint8_t> data(static_cast<size_t>(length));
  int read = length;
  if (NuboReadUserData(data.data(), &read, kFirstPage) == 0 && read == length) {
    TheModule().accounts = ParseAccounts(data);
  }
  state->current = TheModule().accounts;
  return true;
}

void freeAccountList() {
  Module& module = TheModule();
  while (module.accounts != nullptr) RemoveAccount(module.accounts);
}

void RemoveAccount(Account* account) {
  Module& module = TheModule();
  for (Account** link = &module.accounts; *link != nullptr; link = &(*link)->next) {
    if (*link != account) continue;
    *link = account->next;
    if (module.logon_state != nullptr && module.logon_state->current == account) module.logon_state->current = nullptr;
    delete account;
    return;
  }
}

void ShowSaveFailure(HWND owner) { ShowBox(owner, kSaveFailure, kCaption, MB_OK | MB_ICONWARNING); }

}  // namespace tavik::logongate
