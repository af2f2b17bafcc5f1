// LogRecord: one entry of an activity log, a fixed number of text fields
// (fixed by the kind of record when it is made), all empty at first.
// Reading or writing a field outside 0..FieldCount()-1 is harmless: a read
// gives an empty text and a write does nothing.
//
// A record that a log holds is shared and never changed again; readers get it
// as std::shared_ptr<const LogRecord>.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex {

class LogRecord {
 public:
  virtual ~LogRecord() = default;

  std::int16_t FieldCount() const { return static_cast<std::int16_t>(fields_.size()); }
  std::string GetField(int index) const;
  void SetField(int index, std::string text);

 protected:
  explicit LogRecord(std::int16_t field_count)
      : fields_(field_count > 0 ? static_cast<std::size_t>(field_count) : 0) {}
  LogRecord(const LogRecord&) = default;
  LogRecord& operator=(const LogRecord&) = default;

 private:
  std::vector<std::string> fields_;
};

}  // namespace tarvex
