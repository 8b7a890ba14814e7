// Reading one document with expat and reporting it to SAX handlers as the platform reader does: local names and
// prefix mappings, each run of character data in one call however the parser splits it, every error fatal.
#include <expat.h>

#include <bit>
#include <climits>
#include <vector>

#include "msxml3_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(msxml3);

namespace xp::msxml3 {
namespace {

static_assert(std::endian::native == std::endian::little, "the text is handed to the parser as UTF-16LE");

// Joins namespace URI, local name and prefix in the names the parser reports; it cannot occur in a document.
constexpr XML_Char kNamespaceSeparator = '\x01';

// The locator and the attributes live on the stack of one parse: they are valid only during the calls that
// receive them, so their reference counts are not kept.
class Locator final : public ISAXLocator {
 public:
  explicit Locator(XML_Parser parser) : parser_(parser) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISAXLocator) ? this : nullptr;
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT getColumnNumber(int* column) override {
    if (column == nullptr) return E_POINTER;
    *column = static_cast<int>(XML_GetCurrentColumnNumber(parser_)) + 1;
    return S_OK;
  }
  HRESULT getLineNumber(int* line) override {
    if (line == nullptr) return E_POINTER;
    *line = static_cast<int>(XML_GetCurrentLineNumber(parser_));
    return S_OK;
  }
  // A document parsed from a string has neither identifier.
  HRESULT getPublicId(const WCHAR** public_id) override { return NoIdentifier(public_id); }
  HRESULT getSystemId(const WCHAR** system_id) override { return NoIdentifier(system_id); }

 private:
  static HRESULT NoIdentifier(const WCHAR** id) {
    if (id == nullptr) return E_POINTER;
    *id = u"";
    return S_OK;
  }
  XML_Parser parser_;
};

// Only the count of a start tag's attributes is offered: no handler of the system reads attributes.
class Attributes final : public ISAXAttributes {
 public:
  explicit Attributes(int count) : count_(count) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISAXAttributes) ? this : nullptr;
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT getLength(int* length) override {
    if (length == nullptr) return E_POINTER;
    *length = count_;
    return S_OK;
  }
  HRESULT getURI(int, const WCHAR**, int*) override { return Unused("getURI"); }
  HRESULT getLocalName(int, const WCHAR**, int*) override { return Unused("getLocalName"); }
  HRESULT getQName(int, const WCHAR**, int*) override { return Unused("getQName"); }
  HRESULT getName(int, const WCHAR**, int*, const WCHAR**, int*, const WCHAR**, int*) override {
    return Unused("getName");
  }
  HRESULT getIndexFromName(const WCHAR*, int, const WCHAR*, int, int*) override {
    return Unused("getIndexFromName");
  }
  HRESULT getIndexFromQName(const WCHAR*, int, int*) override { return Unused("getIndexFromQName"); }
  HRESULT getType(int, const WCHAR**, int*) override { return Unused("getType"); }
  HRESULT getTypeFromName(const WCHAR*, int, const WCHAR*, int, const WCHAR**, int*) override {
    return Unused("getTypeFromName");
  }
  HRESULT getTypeFromQName(const WCHAR*, int, const WCHAR**, int*) override { return Unused("getTypeFromQName"); }
  HRESULT getValue(int, const WCHAR**, int*) override { return Unused("getValue"); }
  HRESULT getValueFromName(const WCHAR*, int, const WCHAR*, int, const WCHAR**, int*) override {
    return Unused("getValueFromName");
  }
  HRESULT getValueFromQName(const WCHAR*, int, const WCHAR**, int*) override {
    return Unused("getValueFromQName");
  }

 private:
  static HRESULT Unused(const char* method) {
    XP_FIXME(method, "attribute access");
    return E_NOTIMPL;
  }
  int count_;
};

struct Name {
  std::u16string uri, local, qname;
};

// "uri<sep>local<sep>prefix", "uri<sep>local" or "local", as the parser reports names.
Name SplitName(const XML_Char* raw) {
  std::vector<std::string> parts(1);
  for (const XML_Char* c = raw; *c != 0; ++c) {
    if (*c == kNamespaceSeparator) {
      parts.emplace_back();
    } else {
      parts.back().push_back(*c);
    }
  }
  Name name;
  name.local = Utf16FromUtf8(parts.size() == 1 ? parts[0] : parts[1]);
  if (parts.size() >= 2) name.uri = Utf16FromUtf8(parts[0]);
  name.qname = parts.size() == 3 ? Utf16FromUtf8(parts[2]) + u":" + name.local : name.local;
  return name;
}

int Length(const std::u16string& text) { return static_cast<int>(text.size()); }

class Session {
 public:
  Session(XML_Parser parser, ISAXContentHandler* content, ISAXErrorHandler* errors)
      : parser_(parser), content_(content), errors_(errors), locator_(parser) {
    XML_SetUserData(parser_, this);
    XML_SetReturnNSTriplet(parser_, XML_TRUE);
    XML_SetElementHandler(parser_, &Session::OnStartElement, &Session::OnEndElement);
    XML_SetCharacterDataHandler(parser_, &Session::OnCharacters);
    XML_SetProcessingInstructionHandler(parser_, &Session::OnProcessingInstruction);
    XML_SetNamespaceDeclHandler(parser_, &Session::OnStartPrefixMapping, &Session::OnEndPrefixMapping);
    XML_SetSkippedEntityHandler(parser_, &Session::OnSkippedEntity);
  }

  HRESULT Run(std::u16string_view text) {
    if (text.size() > INT_MAX / sizeof(char16_t)) return E_OUTOFMEMORY;
    if (content_ != nullptr && !Deliver(content_->putDocumentLocator(&locator_))) return result_;
    if (content_ != nullptr && !Deliver(content_->startDocument())) return result_;
    const XML_Status status = XML_Parse(parser_, reinterpret_cast<const char*>(text.data()),
                                        static_cast<int>(text.size() * sizeof(char16_t)), XML_TRUE);
    if (FAILED(result_)) return result_;
    if (status != XML_STATUS_OK) return ReportMalformed();
    if (content_ != nullptr) Deliver(content_->endDocument());
    return result_;
  }

 private:
  static Session& Of(void* data) { return *static_cast<Session*>(data); }

  // False, with the parse stopped, once a handler has failed.
  bool Deliver(HRESULT hr) {
    if (FAILED(hr) && SUCCEEDED(result_)) {
      result_ = hr;
      XML_StopParser(parser_, XML_FALSE);
    }
    return SUCCEEDED(result_);
  }

  bool Reporting() const { return content_ != nullptr && SUCCEEDED(result_); }

  // Text is handed on when the markup that ends it is read; text cut short by an error is never handed on.
  bool FlushText() {
    if (text_.empty() || !Reporting()) return Reporting();
    const std::u16string text = Utf16FromUtf8(text_);
    text_.clear();
    return Deliver(content_->characters(text.c_str(), Length(text)));
  }

  HRESULT ReportMalformed() {
    const std::u16string message = Utf16FromUtf8(XML_ErrorString(XML_GetErrorCode(parser_)));
    if (errors_ == nullptr) return E_FAIL;
    const HRESULT hr = errors_->fatalError(&locator_, message.c_str(), E_FAIL);
    return FAILED(hr) ? hr : E_FAIL;
  }

  static void XMLCALL OnStartElement(void* data, const XML_Char* raw_name, const XML_Char** attributes) {
    Session& session = Of(data);
    if (!session.FlushText()) return;
    int count = 0;
    while (attributes[2 * count] != nullptr) ++count;
    Attributes list(count);
    const Name name = SplitName(raw_name);
    session.Deliver(session.content_->startElement(name.uri.c_str(), Length(name.uri), name.local.c_str(),
                                                   Length(name.local), name.qname.c_str(), Length(name.qname),
                                                   &list));
  }

  static void XMLCALL OnEndElement(void* data, const XML_Char* raw_name) {
    Session& session = Of(data);
    if (!session.FlushText()) return;
    const Name name = SplitName(raw_name);
    session.Deliver(session.content_->endElement(name.uri.c_str(), Length(name.uri), name.local.c_str(),
                                                 Length(name.local), name.qname.c_str(), Length(name.qname)));
  }

  static void XMLCALL OnCharacters(void* data, const XML_Char* text, int length) {
    Of(data).text_.append(text, static_cast<size_t>(length));
  }

  static void XMLCALL OnProcessingInstruction(void* data, const XML_Char* target, const XML_Char* text) {
    Session& session = Of(data);
    if (!session.FlushText()) return;
    const std::u16string target16 = Utf16FromUtf8(target), text16 = Utf16FromUtf8(text);
    session.Deliver(session.content_->processingInstruction(target16.c_str(), Length(target16), text16.c_str(),
                                                            Length(text16)));
  }

  static void XMLCALL OnStartPrefixMapping(void* data, const XML_Char* prefix, const XML_Char* uri) {
    Session& session = Of(data);
    if (!session.FlushText()) return;
    const std::u16string prefix16 = Utf16FromUtf8(prefix ? prefix : ""), uri16 = Utf16FromUtf8(uri ? uri : "");
    session.Deliver(
        session.content_->startPrefixMapping(prefix16.c_str(), Length(prefix16), uri16.c_str(), Length(uri16)));
  }

  static void XMLCALL OnEndPrefixMapping(void* data, const XML_Char* prefix) {
    Session& session = Of(data);
    if (!session.Reporting()) return;
    const std::u16string prefix16 = Utf16FromUtf8(prefix ? prefix : "");
    session.Deliver(session.content_->endPrefixMapping(prefix16.c_str(), Length(prefix16)));
  }

  static void XMLCALL OnSkippedEntity(void* data, const XML_Char* name, int is_parameter_entity) {
    Session& session = Of(data);
    if (!session.FlushText()) return;
    const std::u16string name16 = Utf16FromUtf8(std::string(is_parameter_entity ? "%" : "") + name);
    session.Deliver(session.content_->skippedEntity(name16.c_str(), Length(name16)));
  }

  XML_Parser parser_;
  ISAXContentHandler* content_;
  ISAXErrorHandler* errors_;
  Locator locator_;
  std::string text_;  // character data read since the last markup, as UTF-8
  HRESULT result_ = S_OK;
};

}  // namespace

HRESULT ParseDocument(std::u16string_view text, ISAXContentHandler* content, ISAXErrorHandler* errors) {
  // The text is already Unicode: the named encoding overrides any encoding declaration it carries.
  XML_Parser parser = XML_ParserCreateNS("UTF-16LE", kNamespaceSeparator);
  if (parser == nullptr) return E_OUTOFMEMORY;
  HRESULT hr;
  {
    Session session(parser, content, errors);
    hr = session.Run(text);
  }
  XML_ParserFree(parser);
  return hr;
}

}  // namespace xp::msxml3
