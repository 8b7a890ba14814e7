// The SAX reader as its callers see it: the event stream of a document, character data in one piece, namespaces,
// and malformed documents reported through the error handler with the parse stopped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "msxml2.h"

namespace {

std::u16string Text(const WCHAR* text, int length) { return std::u16string(text, static_cast<size_t>(length)); }

// Records every event as one line; can be told to fail at the n-th event.
class Recorder final : public ISAXContentHandler, public ISAXErrorHandler {
 public:
  std::vector<std::u16string> events;
  int fail_at = -1;
  int references = 0;
  int error_line = 0, error_column = 0;

  HRESULT QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }

  HRESULT putDocumentLocator(ISAXLocator*) override { return Note(u"locator"); }
  HRESULT startDocument() override { return Note(u"startDocument"); }
  HRESULT endDocument() override { return Note(u"endDocument"); }
  HRESULT startPrefixMapping(const WCHAR* prefix, int prefix_length, const WCHAR* uri, int uri_length) override {
    return Note(u"startPrefixMapping " + Text(prefix, prefix_length) + u"=" + Text(uri, uri_length));
  }
  HRESULT endPrefixMapping(const WCHAR* prefix, int prefix_length) override {
    return Note(u"endPrefixMapping " + Text(prefix, prefix_length));
  }
  HRESULT startElement(const WCHAR* uri, int uri_length, const WCHAR* local, int local_length, const WCHAR* qname,
                       int qname_length, ISAXAttributes* attributes) override {
    int count = -1;
    attributes->getLength(&count);
    return Note(u"start " + Text(uri, uri_length) + u"|" + Text(local, local_length) + u"|" +
                Text(qname, qname_length) + u"|" + std::u16string(1, static_cast<char16_t>(u'0' + count)));
  }
  HRESULT endElement(const WCHAR* uri, int uri_length, const WCHAR* local, int local_length, const WCHAR* qname,
                     int qname_length) override {
    return Note(u"end " + Text(uri, uri_length) + u"|" + Text(local, local_length) + u"|" +
                Text(qname, qname_length));
  }
  HRESULT characters(const WCHAR* chars, int length) override { return Note(u"chars " + Text(chars, length)); }
  HRESULT ignorableWhitespace(const WCHAR*, int) override { return Note(u"ignorableWhitespace"); }
  HRESULT processingInstruction(const WCHAR* target, int target_length, const WCHAR* data,
                                int data_length) override {
    return Note(u"pi " + Text(target, target_length) + u" " + Text(data, data_length));
  }
  HRESULT skippedEntity(const WCHAR* name, int name_length) override {
    return Note(u"skipped " + Text(name, name_length));
  }
  HRESULT error(ISAXLocator*, const WCHAR*, HRESULT) override { return Note(u"error"); }
  HRESULT fatalError(ISAXLocator* locator, const WCHAR*, HRESULT) override {
    locator->getLineNumber(&error_line);
    locator->getColumnNumber(&error_column);
    return Note(u"fatalError");
  }
  HRESULT ignorableWarning(ISAXLocator*, const WCHAR*, HRESULT) override { return Note(u"ignorableWarning"); }

 private:
  HRESULT Note(const std::u16string& event) {
    if (static_cast<int>(events.size()) == fail_at) return kHandlerFailure;
    events.push_back(event);
    return S_OK;
  }
  static constexpr HRESULT kHandlerFailure = static_cast<HRESULT>(0x80004004L);
};

class SaxReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_SAXXMLReader, nullptr, CLSCTX_ALL, IID_ISAXXMLReader,
                               reinterpret_cast<void**>(&reader_)),
              S_OK);
    ASSERT_EQ(reader_->putContentHandler(&recorder_), S_OK);
    ASSERT_EQ(reader_->putErrorHandler(&recorder_), S_OK);
  }
  void TearDown() override {
    reader_->Release();
    EXPECT_EQ(recorder_.references, 0);  // the reader let go of both handlers
    CoUninitialize();
  }

  HRESULT Parse(const std::u16string& document) {
    VARIANT input;
    VariantInit(&input);
    input.vt = VT_BSTR;
    input.bstrVal = SysAllocStringLen(document.data(), static_cast<UINT>(document.size()));
    const HRESULT hr = reader_->parse(input);
    VariantClear(&input);
    return hr;
  }

  // The events between startDocument and endDocument.
  std::vector<std::u16string> Body() const {
    std::vector<std::u16string> body = recorder_.events;
    if (body.size() >= 2 && body[0] == u"locator" && body[1] == u"startDocument") body.erase(body.begin(), body.begin() + 2);
    if (!body.empty() && body.back() == u"endDocument") body.pop_back();
    return body;
  }

  ISAXXMLReader* reader_ = nullptr;
  Recorder recorder_;
};

TEST_F(SaxReaderTest, ReportsTheDocumentInOrder) {
  ASSERT_EQ(Parse(u"<C><PUZ>0a1b</PUZ><KA>1</KA><H><U a=\"1\" b=\"2\">bob</U></H></C>"), S_OK);
  const std::vector<std::u16string> expected = {
      u"locator", u"startDocument", u"start |C|C|0", u"start |PUZ|PUZ|0", u"chars 0a1b", u"end |PUZ|PUZ",
      u"start |KA|KA|0", u"chars 1", u"end |KA|KA", u"start |H|H|0", u"start |U|U|2", u"chars bob",
      u"end |U|U", u"end |H|H", u"end |C|C", u"endDocument"};
  EXPECT_EQ(recorder_.events, expected);
}

// The parser hands text over in pieces at references, line ends and section boundaries; handlers see each run
// of text once.
TEST_F(SaxReaderTest, CharacterDataArrivesWhole) {
  const struct {
    std::u16string document;
    std::u16string text;
  } cases[] = {
      {u"<A>a&amp;b&#x41;&lt;c&gt;</A>", u"a&bA<c>"},
      {u"<A>one\r\ntwo\nthree</A>", u"one\ntwo\nthree"},
      {u"<A>x<![CDATA[<y>]]>z</A>", u"x<y>z"},
      {u"<A>ab<!-- note -->cd</A>", u"abcd"},
      {u"<A>" + std::u16string(5000, u'7') + u"</A>", std::u16string(5000, u'7')},
  };
  for (const auto& c : cases) {
    recorder_.events.clear();
    ASSERT_EQ(Parse(c.document), S_OK);
    const std::vector<std::u16string> expected = {u"start |A|A|0", u"chars " + c.text, u"end |A|A"};
    EXPECT_EQ(Body(), expected);
  }
}

TEST_F(SaxReaderTest, NamesAreLocalWithTheirNamespace) {
  ASSERT_EQ(Parse(u"<p:R xmlns:p=\"urn:zerk\"><p:E>1</p:E><F xmlns=\"urn:d\"/></p:R>"), S_OK);
  const std::vector<std::u16string> expected = {
      u"startPrefixMapping p=urn:zerk", u"start urn:zerk|R|p:R|0", u"start urn:zerk|E|p:E|0", u"chars 1",
      u"end urn:zerk|E|p:E", u"startPrefixMapping =urn:d", u"start urn:d|F|F|0", u"end urn:d|F|F",
      u"endPrefixMapping ", u"end urn:zerk|R|p:R", u"endPrefixMapping p"};
  EXPECT_EQ(Body(), expected);
}

TEST_F(SaxReaderTest, TextIsUnicodeWhateverItsDeclarationSays) {
  ASSERT_EQ(Parse(u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><?app go?><A>\u00e9\u20ac\U0001D11E</A>"), S_OK);
  const std::vector<std::u16string> expected = {u"pi app go", u"start |A|A|0", u"chars \u00e9\u20ac\U0001D11E",
                                                u"end |A|A"};
  EXPECT_EQ(Body(), expected);
}

TEST_F(SaxReaderTest, MalformedDocumentsAreReportedAndStopTheParse) {
  const struct {
    std::u16string document;
    std::vector<std::u16string> before_error;
    int line, column;
  } cases[] = {
      {u"<C><PUZ>0011", {u"start |C|C|0", u"start |PUZ|PUZ|0"}, 1, 13},
      {u"<C><KA>1</KB></C>", {u"start |C|C|0", u"start |KA|KA|0"}, 1, 11},
      {u"<C>\n<A>1</A>\n<B>&undefined;</B></C>",
       {u"start |C|C|0", u"chars \n", u"start |A|A|0", u"chars 1", u"end |A|A", u"chars \n", u"start |B|B|0"},
       3, 4},
      {u"", {}, 1, 1},
      {u"<A/><B/>", {u"start |A|A|0", u"end |A|A"}, 1, 5},
      {u"<u:A/>", {}, 1, 1},
  };
  for (const auto& c : cases) {
    recorder_.events.clear();
    EXPECT_EQ(Parse(c.document), E_FAIL);
    std::vector<std::u16string> expected = {u"locator", u"startDocument"};
    expected.insert(expected.end(), c.before_error.begin(), c.before_error.end());
    expected.push_back(u"fatalError");
    EXPECT_EQ(recorder_.events, expected) << c.line << ":" << c.column;
    EXPECT_EQ(recorder_.error_line, c.line);
    EXPECT_EQ(recorder_.error_column, c.column);
  }
}

TEST_F(SaxReaderTest, EntityExpansionBombIsRefused) {
  std::u16string bomb = u"<!DOCTYPE A [<!ENTITY e0 \"xxxxxxxxxx\">";
  for (int i = 1; i < 10; ++i) {
    const std::u16string n = std::u16string(1, static_cast<char16_t>(u'0' + i));
    const std::u16string p = std::u16string(1, static_cast<char16_t>(u'0' + i - 1));
    bomb += u"<!ENTITY e" + n + u" \"";
    for (int k = 0; k < 10; ++k) bomb += u"&e" + p + u";";
    bomb += u"\">";
  }
  bomb += u"]><A>&e9;</A>";
  EXPECT_EQ(Parse(bomb), E_FAIL);
  EXPECT_EQ(recorder_.events.back(), u"fatalError");
}

TEST_F(SaxReaderTest, AFailingHandlerStopsTheParseWithItsResult) {
  recorder_.fail_at = 4;  // locator, startDocument, start C, start PUZ, then the text
  EXPECT_EQ(Parse(u"<C><PUZ>ab</PUZ><KA>1</KA></C>"), static_cast<HRESULT>(0x80004004L));
  EXPECT_EQ(recorder_.events.size(), 4u);
}

TEST_F(SaxReaderTest, OnlyStringsAreParsed) {
  VARIANT input;
  VariantInit(&input);
  EXPECT_EQ(reader_->parse(input), E_INVALIDARG);
  EXPECT_TRUE(recorder_.events.empty());
}

TEST_F(SaxReaderTest, WithoutHandlersTheDocumentIsStillChecked) {
  ASSERT_EQ(reader_->putContentHandler(nullptr), S_OK);
  ASSERT_EQ(reader_->putErrorHandler(nullptr), S_OK);
  EXPECT_EQ(Parse(u"<A>1</A>"), S_OK);
  EXPECT_EQ(Parse(u"<A>1</B>"), E_FAIL);
  EXPECT_TRUE(recorder_.events.empty());
}

TEST_F(SaxReaderTest, WhatTheSystemDoesNotUseFailsLoudly) {
  VARIANT_BOOL flag = VARIANT_FALSE;
  const WCHAR* url = nullptr;
  EXPECT_EQ(reader_->getFeature(u"prohibit-dtd", &flag), E_NOTIMPL);
  EXPECT_EQ(reader_->putBaseURL(u"http://example"), E_NOTIMPL);
  EXPECT_EQ(reader_->getSecureBaseURL(&url), E_NOTIMPL);
  EXPECT_EQ(reader_->parseURL(u"file:///etc/passwd"), E_NOTIMPL);
}

}  // namespace
