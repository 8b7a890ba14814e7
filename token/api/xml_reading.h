// Reading a record's XML form through the platform SAX reader: each element's local name and text reach the
// record's element callbacks as 8-bit text, the low byte of each UTF-16 unit.
#pragma once

namespace tavik::tokenapi {

// The three element callbacks both records have.
class RecordEvents {
 public:
  virtual void OpenTag(const char* name) = 0;
  virtual void Element(const char* name, const char* text) = 0;
  virtual void CloseTag(const char* name) = 0;

 protected:
  ~RecordEvents() = default;
};

template <typename Record>
class RecordEventsOf final : public RecordEvents {
 public:
  explicit RecordEventsOf(Record& record) : record_(record) {}
  void OpenTag(const char* name) override { record_.processOpenTag(name); }
  void Element(const char* name, const char* text) override { record_.processElement(name, text); }
  void CloseTag(const char* name) override { record_.processCloseTag(name); }

 private:
  Record& record_;
};

// Parses the first `length` bytes of text, up to a NUL, and feeds its elements to the record. True only when the
// reader was had and read the whole text as one well-formed document; the elements read before a fault stay fed.
bool ReadRecordXml(const char* text, int length, RecordEvents& record);

}  // namespace tavik::tokenapi
