// The registry calls drivers make: missing keys, partial value information with its buffer rules, and keys
// and values created from the kernel side.
#include "kernel_fixture.h"

namespace xp::ntos::testing {
namespace {

class RegistryCallsTest : public KernelTest {
 protected:
  NTSTATUS OpenKey(const std::u16string& path, HANDLE* key, bool create = false) {
    std::u16string text = path;
    UNICODE_STRING counted = NtName(text);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &counted, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
    if (!create) return ZwOpenKey(key, KEY_READ, &attributes);
    ULONG disposition = 0;
    return ZwCreateKey(key, KEY_ALL_ACCESS, &attributes, 0, nullptr, REG_OPTION_NON_VOLATILE, &disposition);
  }
};

TEST_F(RegistryCallsTest, MissingKeyAndValue) {
  HANDLE key = nullptr;
  EXPECT_EQ(OpenKey(u"\\Registry\\Machine\\Software\\Quillmarsh\\Tavik\\Exclusion", &key),
            STATUS_OBJECT_NAME_NOT_FOUND);
  ASSERT_EQ(OpenKey(u"\\Registry\\Machine\\Software\\Quillmarsh\\Tavik\\Exclusion", &key, true), STATUS_SUCCESS);
  std::u16string value = u"1";
  UNICODE_STRING name = NtName(value);
  std::vector<uint8_t> buffer(528);
  ULONG length = 0;
  EXPECT_EQ(ZwQueryValueKey(key, &name, KeyValuePartialInformation, buffer.data(), 528, &length),
            STATUS_OBJECT_NAME_NOT_FOUND);
  ZwClose(key);
}

TEST_F(RegistryCallsTest, PartialInformationBufferRules) {
  HANDLE key = nullptr;
  ASSERT_EQ(OpenKey(u"\\Registry\\Machine\\Software\\Quillmarsh\\Tavik\\Exclusion", &key, true), STATUS_SUCCESS);
  std::u16string value_name = u"1";
  UNICODE_STRING name = NtName(value_name);
  std::u16string text = u"\\WINDOWS";
  ASSERT_EQ(ZwSetValueKey(key, &name, 0, REG_SZ, text.data(), static_cast<ULONG>((text.size() + 1) * 2)),
            STATUS_SUCCESS);
  ZwClose(key);
  ASSERT_EQ(OpenKey(u"\\REGISTRY\\MACHINE\\SOFTWARE\\quillmarsh\\tavik\\exclusion", &key), STATUS_SUCCESS);
  struct Case {
    ULONG length;
    NTSTATUS status;
  };
  const Case cases[] = {{528, STATUS_SUCCESS}, {12 + 18, STATUS_SUCCESS}, {12 + 17, STATUS_BUFFER_OVERFLOW},
                        {12, STATUS_BUFFER_OVERFLOW}, {11, STATUS_BUFFER_TOO_SMALL}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "length " << c.length);
    std::vector<uint8_t> buffer(c.length + 4, 0xCC);
    ULONG result = 0;
    EXPECT_EQ(ZwQueryValueKey(key, &name, KeyValuePartialInformation, buffer.data(), c.length, &result), c.status);
    EXPECT_EQ(result, 12u + 18u);
    if (c.status != STATUS_BUFFER_TOO_SMALL) {
      auto* partial = reinterpret_cast<PKEY_VALUE_PARTIAL_INFORMATION>(buffer.data());
      EXPECT_EQ(partial->Type, static_cast<ULONG>(REG_SZ));
      EXPECT_EQ(partial->DataLength, 18u);
    }
    if (c.status == STATUS_SUCCESS) {
      EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buffer.data() + 12)), u"\\WINDOWS");
    }
  }
  ZwClose(key);
}

}  // namespace
}  // namespace xp::ntos::testing
