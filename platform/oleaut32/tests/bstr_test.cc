// Automation strings and the variants that hold them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "oleauto.h"

namespace {

TEST(Bstr, CarriesItsLengthBeforeAndANulAfter) {
  BSTR text = SysAllocString(u"puzzle");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 6u);
  uint32_t bytes = 0;
  std::memcpy(&bytes, reinterpret_cast<const unsigned char*>(text) - 4, 4);
  EXPECT_EQ(bytes, 12u);
  EXPECT_EQ(text[6], 0);
  EXPECT_EQ(std::u16string(text), u"puzzle");
  SysFreeString(text);
}

TEST(Bstr, LengthCountsEmbeddedNulsAndCopiesExactly) {
  const OLECHAR source[] = {u'a', 0, u'b', u'c'};
  BSTR text = SysAllocStringLen(source, 3);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(std::u16string(text, 3), std::u16string(source, 3));
  EXPECT_EQ(text[3], 0);
  SysFreeString(text);
}

TEST(Bstr, NullAndEmptyStrings) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  BSTR empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);
  BSTR unset = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(unset, nullptr);
  EXPECT_EQ(SysStringLen(unset), 4u);
  EXPECT_EQ(unset[4], 0);
  SysFreeString(unset);
}

// ANSI text and binary data travel as bytes: an odd length, embedded NULs and high bytes come back exactly, with
// a NUL unit after them so the bytes also read as a C string.
TEST(Bstr, ByteStringsKeepTheirExactBytes) {
  const struct {
    const char* bytes;
    UINT length;
  } cases[] = {{"Secret12", 8}, {"odd", 3}, {"a\0b\xff\x80", 5}, {"", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    BSTR text = SysAllocStringByteLen(c.bytes, c.length);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringByteLen(text), c.length);
    EXPECT_EQ(SysStringLen(text), c.length / 2);
    const auto* bytes = reinterpret_cast<const char*>(text);
    EXPECT_EQ(std::string(bytes, c.length), std::string(c.bytes, c.length));
    EXPECT_EQ(bytes[c.length], '\0');
    EXPECT_EQ(bytes[c.length + 1], '\0');
    SysFreeString(text);
  }
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  BSTR unset = SysAllocStringByteLen(nullptr, 143);
  ASSERT_NE(unset, nullptr);
  EXPECT_EQ(SysStringByteLen(unset), 143u);
  SysFreeString(unset);
  BSTR wide = SysAllocString(u"puzzle");
  EXPECT_EQ(SysStringByteLen(wide), 12u);
  SysFreeString(wide);
}

TEST(Bstr, ALengthBeyondTheByteCountIsRefused) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(Variant, ClearFreesTheStringAndEmpties) {
  VARIANT variant;
  VariantInit(&variant);
  EXPECT_EQ(variant.vt, VT_EMPTY);
  EXPECT_EQ(VariantClear(&variant), S_OK);
  variant.vt = VT_BSTR;
  variant.bstrVal = SysAllocString(u"<C></C>");
  EXPECT_EQ(VariantClear(&variant), S_OK);  // the sanitizer build would report the string if it leaked
  EXPECT_EQ(variant.vt, VT_EMPTY);
  EXPECT_EQ(variant.bstrVal, nullptr);
}

TEST(Variant, TypesThisLayerDoesNotCarryAreRefused) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = 3;  // a 32-bit integer
  EXPECT_EQ(VariantClear(&variant), DISP_E_BADVARTYPE);
}

}  // namespace
