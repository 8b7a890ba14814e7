// The built library as the form-based programs use it: loaded by its Windows name, its nine functions found by
// name, a password through the hex functions and back, and encdecnew's box and answer in a machine.
#include "cipherkit_test_support.h"
#include "scratch_machine.h"
#include "xp/ui_script.h"

namespace tavik::cipherkit::test {
namespace {

constexpr char kKey[] = "2B7E151628AED2A6ABF7158809CF4F3C";

class CipherkitLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA("cipherkit.dll");
    ASSERT_NE(module_, nullptr) << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  template <typename Function>
  Function* Bound(const char* name) {
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  HMODULE module_ = nullptr;
};

TEST_F(CipherkitLibrary, TheProgramsBindItByNameAndGetTheirPasswordBack) {
  for (const char* name : {"vbenckeyhex", "vbdeckeyhex", "vbenckey", "vbdeckey", "vbaenckey", "vbadeckey",
                           "enckey", "deckey", "encdecnew"}) {
    EXPECT_NE(GetProcAddress(module_, name), nullptr) << name;
  }
  auto* const encrypt = Bound<decltype(vbenckeyhex)>("vbenckeyhex");
  auto* const decrypt = Bound<decltype(vbdeckeyhex)>("vbdeckeyhex");
  ASSERT_NE(encrypt, nullptr);
  ASSERT_NE(decrypt, nullptr);
  CapturedOutput output;
  const String hex(encrypt(Ansi("Secret12").get(), kKey));
  ASSERT_NE(hex, nullptr);
  const std::string digits = BytesOf(hex.get());
  EXPECT_EQ(digits.size(), 48u);
  EXPECT_EQ(digits.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  const String back(decrypt(hex.get(), kKey));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(BytesOf(back.get()), "Secret12");
  EXPECT_EQ(output.Take(), "enc len: 24\n");
}

TEST_F(CipherkitLibrary, EncdecnewShowsItsTextAndHandsBackGood) {
  xp::test::ScratchMachine machine;
  xp::ui::Script script;
  script.ExpectBox("test", "hello from a form", MB_OK).Answer(IDOK);
  script.Install(machine.root());
  auto* const call = Bound<decltype(encdecnew)>("encdecnew");
  ASSERT_NE(call, nullptr);
  BSTR text = SysAllocStringByteLen("hello from a form", 17);
  EXPECT_EQ(call(&text), 0);
  EXPECT_EQ(BytesOf(text), "Good");
  SysFreeString(text);
  EXPECT_EQ(xp::ui::ScriptStepsLeft(), 0u);
}

}  // namespace
}  // namespace tavik::cipherkit::test
