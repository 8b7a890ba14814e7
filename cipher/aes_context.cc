// The library's AES context over the system's one AES core: a schedule for one direction, and the flag that says
// which direction it was set up for, so a block operation in the other direction does nothing.
#include "cipherkit_private.h"

namespace tavik::cipherkit {
namespace {

int SetUp(const uint8_t* key, size_t key_length, uint32_t flags, AesContext* context) {
  if (!cipher::ExpandKey(key, key_length, &context->schedule)) {
    context->rounds = 0;
    return 0;
  }
  context->rounds = static_cast<uint32_t>(context->schedule.rounds);
  context->flags = flags;
  return 1;
}

}  // namespace

int AesSetEncryptKey(const uint8_t* key, size_t key_length, AesContext* context) {
  return SetUp(key, key_length, kEncryptSchedule, context);
}

int AesSetDecryptKey(const uint8_t* key, size_t key_length, AesContext* context) {
  return SetUp(key, key_length, kDecryptSchedule, context);
}

int AesEncryptBlock(const uint8_t in[cipher::kAesBlockSize], uint8_t out[cipher::kAesBlockSize],
                    const AesContext& context) {
  if ((context.flags & 1) == 0) return 0;
  cipher::EncryptBlock(context.schedule, in, out);
  return 1;
}

int AesDecryptBlock(const uint8_t in[cipher::kAesBlockSize], uint8_t out[cipher::kAesBlockSize],
                    const AesContext& context) {
  if ((context.flags & 2) == 0) return 0;
  cipher::DecryptBlock(context.schedule, in, out);
  return 1;
}

}  // namespace tavik::cipherkit
