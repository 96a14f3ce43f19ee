#pragma once

#include <cstddef>
#include <string>
#include <utility>

namespace tolvan {

// Reads a text file record by record as a comma-separated reader reads single fields:
// leading spaces are skipped; a record ends at a comma or at a line end (CR+LF, LF or CR);
// a record that begins with a double quote runs to the next double quote, which is not part
// of it; an empty line is an empty record. A quoted record that begins with `doubledQuotes`
// (when not empty) reads two double quotes in a row as one that does not end it: keys the
// old files never had can hold any text, while every old record reads as it always has.
class RecordReader {
 public:
  explicit RecordReader(std::string text, std::string doubledQuotes = {})
      : text_(std::move(text)), doubledQuotes_(std::move(doubledQuotes)) {}
  [[nodiscard]] bool atEnd() const { return pos_ >= text_.size(); }
  // The next record; empty text at the end.
  [[nodiscard]] std::string next();

 private:
  [[nodiscard]] bool atLineEnd() const;
  void skipLineEnd();
  void skipToDelimiter();
  [[nodiscard]] std::string quotedRecord();

  std::string text_;
  std::string doubledQuotes_;
  std::size_t pos_ = 0;
};

}  // namespace tolvan
