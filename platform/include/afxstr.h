// CString as the dialog programs use it: a text in the ANSI code page that converts to LPCTSTR, formats like
// printf, joins and compares (== and != with CString or LPCTSTR). Passing a CString to printf-style calls needs
// (LPCTSTR), as the compiler insists.
#pragma once

#include <string>

#include "windef.h"

class CString {
 public:
  CString() = default;
  CString(LPCTSTR text) : text_(text != nullptr ? text : "") {}
  CString(LPCTSTR text, int length) : text_(text, static_cast<size_t>(length)) {}
  CString(TCHAR c, int repeat = 1) : text_(static_cast<size_t>(repeat), c) {}

  CString& operator=(LPCTSTR text) {
    text_ = text != nullptr ? text : "";
    return *this;
  }
  operator LPCTSTR() const { return text_.c_str(); }

  int GetLength() const { return static_cast<int>(text_.size()); }
  BOOL IsEmpty() const { return text_.empty(); }
  void Empty() { text_.clear(); }
  TCHAR GetAt(int index) const { return text_.at(static_cast<size_t>(index)); }
  TCHAR operator[](int index) const { return GetAt(index); }

  // The program's string resource `nID` (LoadStringA); FALSE, and an empty text, when it is missing or empty.
  BOOL LoadString(UINT nID);

  // Replaces the text with the formatted one.
  void Format(LPCTSTR format, ...) __attribute__((format(printf, 2, 3)));
  // <0, 0, >0 as strcmp; CompareNoCase folds ASCII letters.
  int Compare(LPCTSTR text) const;
  int CompareNoCase(LPCTSTR text) const;

  CString& operator+=(const CString& text) {
    text_ += text.text_;
    return *this;
  }
  CString& operator+=(LPCTSTR text) {
    if (text != nullptr) text_ += text;
    return *this;
  }
  CString& operator+=(TCHAR c) {
    text_ += c;
    return *this;
  }

  friend CString operator+(CString left, const CString& right) { return left += right; }
  friend CString operator+(CString left, LPCTSTR right) { return left += right; }
  friend CString operator+(LPCTSTR left, const CString& right) { return CString(left) += right; }
  friend CString operator+(CString left, TCHAR right) { return left += right; }
  friend bool operator==(const CString& left, const CString& right) { return left.text_ == right.text_; }
  friend bool operator==(const CString& left, LPCTSTR right) { return left.Compare(right) == 0; }

 private:
  std::string text_;
};
