// The SAX2 reader of the XML services: the reader class and the handler interfaces an application implements.
// Strings cross as UTF-16 pointers with lengths in units. Interfaces list their methods in slot order.
#pragma once

#include "oleauto.h"

inline constexpr CLSID CLSID_SAXXMLReader = {
    0x079AA557, 0x4A18, 0x424A, {0x8E, 0xEE, 0xE3, 0x9F, 0x0A, 0x8D, 0x41, 0xB9}};
inline constexpr IID IID_ISAXXMLReader = {
    0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
inline constexpr IID IID_ISAXContentHandler = {
    0x1545CDFA, 0x9E4E, 0x4497, {0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11, 0x2C, 0x44}};
inline constexpr IID IID_ISAXErrorHandler = {
    0xA60511C4, 0xCCF5, 0x479E, {0x98, 0xA3, 0xDC, 0x8D, 0xC5, 0x45, 0xB7, 0xD0}};
inline constexpr IID IID_ISAXLocator = {
    0x9B7E472A, 0x0DE4, 0x4640, {0xBF, 0xF3, 0x84, 0xD3, 0x8A, 0x05, 0x1C, 0x31}};
inline constexpr IID IID_ISAXAttributes = {
    0xF078ABE1, 0x45D2, 0x4832, {0x91, 0xEA, 0x44, 0x66, 0xCE, 0x2F, 0x25, 0xC9}};

// Handlers the reader can take but this system never gives it.
struct ISAXEntityResolver;
struct ISAXDTDHandler;

// Where the reader is in the document; lines and columns count from 1.
struct ISAXLocator : IUnknown {
  virtual HRESULT getColumnNumber(int* column) = 0;
  virtual HRESULT getLineNumber(int* line) = 0;
  virtual HRESULT getPublicId(const WCHAR** public_id) = 0;
  virtual HRESULT getSystemId(const WCHAR** system_id) = 0;
};

// The attributes of one start tag, valid during that startElement call only.
struct ISAXAttributes : IUnknown {
  virtual HRESULT getLength(int* length) = 0;
  virtual HRESULT getURI(int index, const WCHAR** uri, int* uri_length) = 0;
  virtual HRESULT getLocalName(int index, const WCHAR** local_name, int* local_name_length) = 0;
  virtual HRESULT getQName(int index, const WCHAR** qname, int* qname_length) = 0;
  virtual HRESULT getName(int index, const WCHAR** uri, int* uri_length, const WCHAR** local_name,
                          int* local_name_length, const WCHAR** qname, int* qname_length) = 0;
  virtual HRESULT getIndexFromName(const WCHAR* uri, int uri_length, const WCHAR* local_name,
                                   int local_name_length, int* index) = 0;
  virtual HRESULT getIndexFromQName(const WCHAR* qname, int qname_length, int* index) = 0;
  virtual HRESULT getType(int index, const WCHAR** type, int* type_length) = 0;
  virtual HRESULT getTypeFromName(const WCHAR* uri, int uri_length, const WCHAR* local_name,
                                  int local_name_length, const WCHAR** type, int* type_length) = 0;
  virtual HRESULT getTypeFromQName(const WCHAR* qname, int qname_length, const WCHAR** type,
                                   int* type_length) = 0;
  virtual HRESULT getValue(int index, const WCHAR** value, int* value_length) = 0;
  virtual HRESULT getValueFromName(const WCHAR* uri, int uri_length, const WCHAR* local_name,
                                   int local_name_length, const WCHAR** value, int* value_length) = 0;
  virtual HRESULT getValueFromQName(const WCHAR* qname, int qname_length, const WCHAR** value,
                                    int* value_length) = 0;
};

// The document's content, in document order. A failure result stops the parse with that result.
struct ISAXContentHandler : IUnknown {
  virtual HRESULT putDocumentLocator(ISAXLocator* locator) = 0;
  virtual HRESULT startDocument() = 0;
  virtual HRESULT endDocument() = 0;
  virtual HRESULT startPrefixMapping(const WCHAR* prefix, int prefix_length, const WCHAR* uri, int uri_length) = 0;
  virtual HRESULT endPrefixMapping(const WCHAR* prefix, int prefix_length) = 0;
  virtual HRESULT startElement(const WCHAR* uri, int uri_length, const WCHAR* local_name, int local_name_length,
                               const WCHAR* qname, int qname_length, ISAXAttributes* attributes) = 0;
  virtual HRESULT endElement(const WCHAR* uri, int uri_length, const WCHAR* local_name, int local_name_length,
                             const WCHAR* qname, int qname_length) = 0;
  virtual HRESULT characters(const WCHAR* chars, int length) = 0;
  virtual HRESULT ignorableWhitespace(const WCHAR* chars, int length) = 0;
  virtual HRESULT processingInstruction(const WCHAR* target, int target_length, const WCHAR* data,
                                        int data_length) = 0;
  virtual HRESULT skippedEntity(const WCHAR* name, int name_length) = 0;
};

// Every error this reader finds is fatal: it is reported through fatalError and the parse stops.
struct ISAXErrorHandler : IUnknown {
  virtual HRESULT error(ISAXLocator* locator, const WCHAR* message, HRESULT error_code) = 0;
  virtual HRESULT fatalError(ISAXLocator* locator, const WCHAR* message, HRESULT error_code) = 0;
  virtual HRESULT ignorableWarning(ISAXLocator* locator, const WCHAR* message, HRESULT error_code) = 0;
};

struct ISAXXMLReader : IUnknown {
  virtual HRESULT getFeature(const WCHAR* name, VARIANT_BOOL* value) = 0;
  virtual HRESULT putFeature(const WCHAR* name, VARIANT_BOOL value) = 0;
  virtual HRESULT getProperty(const WCHAR* name, VARIANT* value) = 0;
  virtual HRESULT putProperty(const WCHAR* name, VARIANT value) = 0;
  virtual HRESULT getEntityResolver(ISAXEntityResolver** resolver) = 0;
  virtual HRESULT putEntityResolver(ISAXEntityResolver* resolver) = 0;
  virtual HRESULT getContentHandler(ISAXContentHandler** handler) = 0;
  virtual HRESULT putContentHandler(ISAXContentHandler* handler) = 0;
  virtual HRESULT getDTDHandler(ISAXDTDHandler** handler) = 0;
  virtual HRESULT putDTDHandler(ISAXDTDHandler* handler) = 0;
  virtual HRESULT getErrorHandler(ISAXErrorHandler** handler) = 0;
  virtual HRESULT putErrorHandler(ISAXErrorHandler* handler) = 0;
  virtual HRESULT getBaseURL(const WCHAR** base_url) = 0;
  virtual HRESULT putBaseURL(const WCHAR* base_url) = 0;
  virtual HRESULT getSecureBaseURL(const WCHAR** secure_base_url) = 0;
  virtual HRESULT putSecureBaseURL(const WCHAR* secure_base_url) = 0;
  // S_OK when the whole document was read; E_INVALIDARG for an input that is not a VT_BSTR; otherwise the error
  // reported to the error handler, or the failure a handler returned.
  virtual HRESULT parse(VARIANT input) = 0;
  virtual HRESULT parseURL(const WCHAR* url) = 0;
};
