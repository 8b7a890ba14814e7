// COM initialisation per thread, and creating the machine's registered classes.
#include <gtest/gtest.h>

#include <thread>

#include "msxml2.h"
#include "objbase.h"
#include "xp/ole32.h"

namespace {

constexpr CLSID kUnregistered = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

class ComThread : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
  void TearDown() override {
    CoUninitialize();
    xp::ole32::FailCreateInstance(0);
  }
};

TEST(ComInit, CountsPerThreadAndRefusesCreationOutsideIt) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXXMLReader, &object),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  std::thread([] {
    void* other = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXXMLReader, &other),
              CO_E_NOTINITIALIZED);
  }).join();
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXXMLReader, &object),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(CoInitialize(reinterpret_cast<void*>(1)), E_INVALIDARG);
}

TEST_F(ComThread, CreatesTheSaxReaderFromItsServer) {
  ISAXXMLReader* reader = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXXMLReader,
                             reinterpret_cast<void**>(&reader)),
            S_OK);
  ASSERT_NE(reader, nullptr);
  IUnknown* unknown = nullptr;
  EXPECT_EQ(reader->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown->Release(), 1u);
  EXPECT_EQ(reader->Release(), 0u);
}

TEST_F(ComThread, RefusesWhatNoServerProvides) {
  struct Case {
    CLSID clsid;
    DWORD context;
    IID iid;
    HRESULT expected;
  } cases[] = {
      {kUnregistered, CLSCTX_ALL, IID_IUnknown, REGDB_E_CLASSNOTREG},
      {CLSID_SAXXMLReader, CLSCTX_LOCAL_SERVER, IID_ISAXXMLReader, REGDB_E_CLASSNOTREG},
      {CLSID_SAXXMLReader, CLSCTX_INPROC_SERVER, IID_ISAXContentHandler, E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(c.clsid, nullptr, c.context, c.iid, &object), c.expected);
    EXPECT_EQ(object, nullptr);
  }
  IUnknown* outer = reinterpret_cast<IUnknown*>(&cases);
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_SAXXMLReader, outer, CLSCTX_ALL, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(ComThread, InjectedFailuresComeFirstThenCreationWorksAgain) {
  xp::ole32::FailCreateInstance(2, E_OUTOFMEMORY);
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_IUnknown, &object), E_OUTOFMEMORY);
  EXPECT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_IUnknown, &object), E_OUTOFMEMORY);
  ASSERT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_IUnknown, &object), S_OK);
  static_cast<IUnknown*>(object)->Release();
}

}  // namespace
