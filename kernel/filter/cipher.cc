// The driver's two instances of the file cipher. The file-data instance keeps one schedule, built from the held
// key when the key is installed, and is only read afterwards (no lock on the I/O paths). The key-operation
// instance builds its schedule on the stack at every call, so concurrent key requests cannot disturb each other.
// The installed 32 bytes are kept as they are for the whole load: the key rotation derives the next key records
// from them.
#include "aes.h"
#include "morvel_private.h"
#include "tail_rule.h"

namespace tavik::morvel {

struct HeldKey {
  UCHAR xcfk[32];
  cipher::AesKey file_data;  // from xcfk[0..15]
};

namespace {

constexpr LONGLONG kBlock = static_cast<LONGLONG>(cipher::kAesBlockSize);

LONGLONG BlockFloor(LONGLONG value) { return value / kBlock * kBlock; }

// Runs the stream transform over [offset, offset + length) of a stream encoded for `encoded_size` bytes.
bool TransformRange(PUCHAR data, SIZE_T length, LONGLONG offset, LONGLONG encoded_size, bool encrypt) {
  const HeldKey* key = State().key;
  if (key == nullptr) return false;
  if (offset >= encoded_size || length == 0) return true;
  const LONGLONG available = encoded_size - offset;
  const LONGLONG end = offset + (static_cast<LONGLONG>(length) < available ? static_cast<LONGLONG>(length) : available);
  const LONGLONG tail_start = BlockFloor(encoded_size);
  const LONGLONG blocks_end = end < tail_start ? BlockFloor(end) : tail_start;
  const size_t block_count = blocks_end > offset ? static_cast<size_t>((blocks_end - offset) / kBlock) : 0;
  if (encrypt) {
    cipher::EncryptBlocks(key->file_data, data, block_count);
  } else {
    cipher::DecryptBlocks(key->file_data, data, block_count);
  }
  // The tail is transformed only as a whole: a range that stops inside it cannot carry it.
  if (end == encoded_size && encoded_size > tail_start) {
    PUCHAR tail = data + (tail_start - offset);
    const size_t tail_length = static_cast<size_t>(encoded_size - tail_start);
    if (encrypt) {
      cipher::EncryptTail(key->file_data.forward, tail, tail_length);
    } else {
      cipher::DecryptTail(key->file_data.forward, tail, tail_length);
    }
  }
  return true;
}

void KeyTransform(PUCHAR data, SIZE_T length, const UCHAR* key, bool encrypt) {
  if (length < cipher::kAesBlockSize) return;
  cipher::AesKey schedule;
  cipher::ExpandKey(key, &schedule);
  const size_t block_count = length / cipher::kAesBlockSize;
  if (encrypt) {
    cipher::EncryptBlocks(schedule, data, block_count);
  } else {
    cipher::DecryptBlocks(schedule, data, block_count);
  }
  RtlSecureZeroMemory(&schedule, sizeof schedule);
}

}  // namespace

bool InstallKey(const UCHAR key[32]) {
  auto* held = static_cast<HeldKey*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(HeldKey), kTagKey));
  if (held == nullptr) return false;
  RtlCopyMemory(held->xcfk, key, sizeof held->xcfk);
  cipher::ExpandKey(held->xcfk, &held->file_data);
  // Published whole: a reader sees no key or a key with its schedule.
  InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&State().key), held);
  return true;
}

bool KeyHeld() { return State().key != nullptr; }

bool CopyHeldKey(UCHAR key[32]) {
  const HeldKey* held = State().key;
  if (held == nullptr) return false;
  RtlCopyMemory(key, held->xcfk, sizeof held->xcfk);
  return true;
}

void FreeKey() {
  auto* held = static_cast<HeldKey*>(
      InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&State().key), nullptr));
  if (held == nullptr) return;
  RtlSecureZeroMemory(held, sizeof *held);
  ExFreePoolWithTag(held, kTagKey);
}

bool EncryptRange(PUCHAR data, SIZE_T length, LONGLONG offset, LONGLONG encoded_size) {
  return TransformRange(data, length, offset, encoded_size, true);
}

bool DecryptRange(PUCHAR data, SIZE_T length, LONGLONG offset, LONGLONG encoded_size) {
  return TransformRange(data, length, offset, encoded_size, false);
}

void KeyEncrypt(PUCHAR data, SIZE_T length, const UCHAR* key) { KeyTransform(data, length, key, true); }

void KeyDecrypt(PUCHAR data, SIZE_T length, const UCHAR* key) { KeyTransform(data, length, key, false); }

}  // namespace tavik::morvel
