// The PIN functions over the token's password block and failure counter.
#include <link.h>

#include <string>
#include <string_view>

#include "api_fixture.h"
#include "tokenapi.h"

namespace tavik::tokenapi::testing {
namespace {

class PinTest : public TokenApiTest {
 protected:
  void SetUp() override { ASSERT_EQ(NuboSetPin(pin_.data(), static_cast<int>(pin_.size())), 0); }
  int Check(std::string pin) { return NuboCheckPin(pin.data(), static_cast<int>(pin.size())); }
  std::string pin_ = "Secret1";
};

// The token counts failures; the result folds the count into 1 (one to three) or 2 (more). The count
// saturates below the values that would read as negative.
TEST_F(PinTest, ResultFollowsTheTokensFailureCounter) {
  const struct {
    uint16_t counter_before, counter_after;
    int wrong;
  } cases[] = {{0, 1, 1}, {2, 3, 1}, {3, 4, 2}, {199, 200, 2}, {32766, 32767, 2}, {65534, 32767, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.counter_before);
    ASSERT_TRUE(xp::usbtoken::SetCounter(machine_.root(), token(), c.counter_before));
    EXPECT_EQ(Check("Wrong99"), c.wrong);
    EXPECT_EQ(Snap().counter, c.counter_after);
    EXPECT_EQ(Check(pin_), 0);
    EXPECT_EQ(Snap().counter, 0);
  }
}

TEST_F(PinTest, ThreeWrongThenAFourthThenTheRightOne) {
  EXPECT_EQ(Check("a"), 1);
  EXPECT_EQ(Check("b"), 1);
  EXPECT_EQ(Check("c"), 1);
  EXPECT_EQ(Check("d"), 2);
  EXPECT_EQ(NuboIsPinChecked(), 0);
  EXPECT_EQ(Check(pin_), 0);
  EXPECT_EQ(NuboIsPinChecked(), 1);
  EXPECT_EQ(NuboLogout(), 0);
  EXPECT_EQ(NuboIsPinChecked(), 0);
}

TEST_F(PinTest, NoTokenIsAnError) {
  Unplug();
  EXPECT_EQ(NuboPing(), 0);
  EXPECT_EQ(Check(pin_), -1);
  EXPECT_EQ(NuboIsPinChecked(), 0);
  EXPECT_EQ(NuboSetPin(pin_.data(), 7), 1);
}

// Pins the token cannot hold (more than 63 characters, a NUL inside, a negative length) never reach it.
TEST_F(PinTest, UnsafePinsAreRefusedWithoutTouchingTheToken) {
  std::string long_pin(1000, 'x');
  std::string with_nul("abc\0def", 7);
  ClearLog();
  for (int length : {64, 128, 1000}) {
    EXPECT_EQ(NuboCheckPin(long_pin.data(), length), -1) << length;
    EXPECT_EQ(NuboSetPin(long_pin.data(), length), 1) << length;
    EXPECT_EQ(NuboResetPin(long_pin.data(), length), 1) << length;
  }
  EXPECT_EQ(NuboCheckPin(with_nul.data(), 7), -1);
  EXPECT_EQ(NuboCheckPin(long_pin.data(), -1), -1);
  EXPECT_EQ(NuboCheckPin(nullptr, 0), -1);
  EXPECT_TRUE(Log().empty());
  EXPECT_EQ(Check(std::string(63, 'y')), 1);  // the longest pin still reaches the token
}

TEST_F(PinTest, SetAndResetChangeThePassword) {
  std::string other = "Other22";
  EXPECT_EQ(NuboPing(), 1);
  EXPECT_EQ(NuboResetPin(other.data(), static_cast<int>(other.size())), 0);
  EXPECT_EQ(Check(pin_), 1);
  EXPECT_EQ(Check(other), 0);
  std::string empty;
  EXPECT_EQ(NuboSetPin(empty.data(), 0), 0);
  EXPECT_EQ(Check(""), 0);  // a token without a password accepts the empty one
}

// Whether `text` lies in `size` bytes from `memory`. A library's data holds the sanitizer's red zones between its
// variables, so the bytes are read one by one, unchecked and without the checked library routines.
__attribute__((no_sanitize("address"))) bool ContainsUnchecked(const char* memory, size_t size,
                                                                std::string_view text) {
  for (size_t start = 0; start + text.size() <= size; ++start) {
    size_t matched = 0;
    while (matched < text.size() && memory[start + matched] == text[matched]) ++matched;
    if (matched == text.size()) return true;
  }
  return false;
}

// Whether `text` lies anywhere in the writable memory of the loaded tokenapi library (its data and zeroed data).
bool InLibraryMemory(std::string_view text) {
  struct Search {
    std::string_view text;
    bool found = false;
  } search{text};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* search = static_cast<Search*>(data);
        if (std::string_view(info->dlpi_name).find("libtokenapi.so") == std::string_view::npos) return 0;
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr)& segment = info->dlpi_phdr[i];
          if (segment.p_type != PT_LOAD || (segment.p_flags & PF_W) == 0) continue;
          const auto* memory = reinterpret_cast<const char*>(info->dlpi_addr + segment.p_vaddr);
          search->found = search->found || ContainsUnchecked(memory, segment.p_memsz, search->text);
        }
        return 0;
      },
      &search);
  return search.found;
}

// A password handed to the library does not stay in its memory once the call is over, whatever the call did.
TEST_F(PinTest, NoPinStaysInTheLibrarysMemory) {
  std::string candidate = "Kq7#vrT2";
  const struct {
    const char* what;
    int (*call)(char*, int);
  } calls[] = {{"check", NuboCheckPin}, {"set", NuboSetPin}, {"reset", NuboResetPin}};
  for (const auto& c : calls) {
    SCOPED_TRACE(c.what);
    c.call(candidate.data(), static_cast<int>(candidate.size()));
    EXPECT_FALSE(InLibraryMemory(candidate));
    Unplug();  // and when the token is gone
    c.call(candidate.data(), static_cast<int>(candidate.size()));
    EXPECT_FALSE(InLibraryMemory(candidate));
    xp::usbtoken::Plug(machine_.root(), token());
  }
  EXPECT_EQ(Check(candidate), 0);  // the calls did reach the token
}

}  // namespace
}  // namespace tavik::tokenapi::testing
