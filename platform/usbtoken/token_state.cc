// The state file's byte layout: a magic, the small fields little-endian in a fixed order, the flash last (so a
// request that only touches registers rewrites a few hundred bytes at the front).
#include "token_state.h"

#include <cstring>

namespace xp::usbtoken {
namespace {

constexpr char kMagic[8] = {'X', 'P', 'T', 'O', 'K', 'E', 'N', '1'};

class Writer {
 public:
  void U8(uint8_t v) { bytes_.push_back(v); }
  void U16(uint16_t v) { Unsigned(v, 2); }
  void U32(uint32_t v) { Unsigned(v, 4); }
  void I32(int32_t v) { Unsigned(static_cast<uint32_t>(v), 4); }
  void U64(uint64_t v) { Unsigned(v, 8); }
  void Bytes(const uint8_t* data, size_t n) { bytes_.insert(bytes_.end(), data, data + n); }
  template <size_t N>
  void Array(const std::array<uint8_t, N>& a) { Bytes(a.data(), N); }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  void Unsigned(uint64_t v, int n) {
    for (int i = 0; i < n; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::vector<uint8_t> bytes_;
};

// Reads fields in the writer's order; once past the end every read yields 0 and ok() turns false.
class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  uint8_t U8() { return static_cast<uint8_t>(Unsigned(1)); }
  bool Bool() { return U8() != 0; }
  uint16_t U16() { return static_cast<uint16_t>(Unsigned(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Unsigned(4)); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  uint64_t U64() { return Unsigned(8); }
  void Bytes(uint8_t* out, size_t n) {
    if (!Have(n)) return;
    std::memcpy(out, bytes_.data() + position_, n);
    position_ += n;
  }
  template <size_t N>
  void Array(std::array<uint8_t, N>& a) { Bytes(a.data(), N); }
  bool ok() const { return ok_; }
  bool AtEnd() const { return position_ == bytes_.size(); }

 private:
  bool Have(size_t n) {
    if (!ok_ || bytes_.size() - position_ < n) ok_ = false;
    return ok_;
  }
  uint64_t Unsigned(int n) {
    if (!Have(n)) return 0;
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= uint64_t{bytes_[position_ + i]} << (8 * i);
    position_ += n;
    return v;
  }
  const std::vector<uint8_t>& bytes_;
  size_t position_ = 0;
  bool ok_ = true;
};

void WriteVolatile(Writer& w, const VolatileState& v) {
  w.Array(v.address_data);
  w.U8(v.password_byte);
  w.U8(v.compare_index);
  w.U8(v.compare_mismatch);
  w.U64(v.compare_open);
  w.U8(v.accepted);
  w.U8(v.slot);
  w.Array(v.loaded);
  w.Array(v.read_data);
  w.U8(v.aes_status);
  w.U8(v.key_prepared);
  w.Array(v.aes_key);
  w.Array(v.aes_in);
  w.Array(v.aes_out);
  w.I32(v.key_ready_hidden);
  w.I32(v.done_hidden);
}

void ReadVolatile(Reader& r, VolatileState& v) {
  r.Array(v.address_data);
  v.password_byte = r.U8();
  v.compare_index = r.U8();
  v.compare_mismatch = r.Bool();
  v.compare_open = r.U64();
  v.accepted = r.Bool();
  v.slot = r.U8();
  r.Array(v.loaded);
  r.Array(v.read_data);
  v.aes_status = r.U8();
  v.key_prepared = r.Bool();
  r.Array(v.aes_key);
  r.Array(v.aes_in);
  r.Array(v.aes_out);
  v.key_ready_hidden = r.I32();
  v.done_hidden = r.I32();
}

void WriteFaults(Writer& w, const FaultSettings& f) {
  w.U8(static_cast<uint8_t>(f.requests.size()));
  for (const StoredRequestFault& rf : f.requests) {
    w.U8(rf.has_code);
    w.U8(rf.has_reg);
    w.U32(rf.code);
    w.U16(rf.reg);
    w.U32(rf.skip);
    w.I32(rf.times);
    w.U32(rf.error);
  }
  w.I32(f.status_not_ready);
  w.I32(f.key_ready_delay);
  w.I32(f.done_delay);
  w.I32(f.open_failures);
  w.U32(f.open_error);
  w.I32(f.close_failures);
  w.U32(f.close_error);
  w.U32(f.unplug_after);
  w.U8(f.strict_flash);
}

bool ReadFaults(Reader& r, FaultSettings& f) {
  const size_t count = r.U8();
  if (count > kMaxRequestFaults) return false;
  f.requests.resize(count);
  for (StoredRequestFault& rf : f.requests) {
    rf.has_code = r.Bool();
    rf.has_reg = r.Bool();
    rf.code = r.U32();
    rf.reg = r.U16();
    rf.skip = r.U32();
    rf.times = r.I32();
    rf.error = r.U32();
  }
  f.status_not_ready = r.I32();
  f.key_ready_delay = r.I32();
  f.done_delay = r.I32();
  f.open_failures = r.I32();
  f.open_error = r.U32();
  f.close_failures = r.I32();
  f.close_error = r.U32();
  f.unplug_after = r.U32();
  f.strict_flash = r.Bool();
  return true;
}

}  // namespace

std::array<uint8_t, kPasswordBlockSize> CleanPasswordBlock() {
  std::array<uint8_t, kPasswordBlockSize> block;
  block.fill(0xFF);
  block[0] = 0x00;
  return block;
}

std::vector<uint8_t> SerializeState(const TokenState& state) {
  Writer w;
  w.Bytes(reinterpret_cast<const uint8_t*>(kMagic), sizeof kMagic);
  w.U32(state.instance);
  w.U64(state.seed);
  w.Array(state.password_copy_key);
  w.U8(state.plugged);
  w.U64(state.plug_generation);
  w.U64(state.open_serial);
  w.U16(state.counter);
  w.Array(state.password);
  WriteVolatile(w, state.vol);
  WriteFaults(w, state.faults);
  w.Array(state.flash);
  return w.Take();
}

std::optional<TokenState> ParseState(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return std::nullopt;
  Reader r(bytes);
  uint8_t magic[sizeof kMagic];
  r.Bytes(magic, sizeof magic);
  TokenState state;
  state.instance = r.U32();
  state.seed = r.U64();
  r.Array(state.password_copy_key);
  state.plugged = r.Bool();
  state.plug_generation = r.U64();
  state.open_serial = r.U64();
  state.counter = r.U16();
  r.Array(state.password);
  ReadVolatile(r, state.vol);
  if (!ReadFaults(r, state.faults)) return std::nullopt;
  r.Array(state.flash);
  if (!r.ok() || !r.AtEnd()) return std::nullopt;
  return state;
}

uint8_t StatusByte(const TokenState& state) { return static_cast<uint8_t>(0x01 | (state.vol.accepted ? 0x02 : 0)); }

std::string IdentityText(const TokenState& state, size_t limit) {
  std::string text;
  for (size_t i = kPageSize; i < kPageSize + 128 && text.size() < limit; ++i) {
    const uint8_t c = state.flash[i];
    if (c == 0x00 || c == 0xFF) break;
    text.push_back(static_cast<char>(c));
  }
  return text;
}

std::string InterfacePath(const std::string& id) {
  return "\\\\?\\usb#vid_7a5c&pid_0c01#" + id + "#{00873fdf-61a8-11d1-aa5e-00c04fb1728b}";
}

}  // namespace xp::usbtoken
