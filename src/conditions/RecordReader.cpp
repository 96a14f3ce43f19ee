#include "conditions/RecordReader.h"

namespace tolvan {

bool RecordReader::atLineEnd() const {
  return pos_ < text_.size() && (text_[pos_] == '\r' || text_[pos_] == '\n');
}

void RecordReader::skipLineEnd() {
  if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
  if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
}

// After a quoted record: whatever follows the closing quote up to the delimiter is dropped.
void RecordReader::skipToDelimiter() {
  while (pos_ < text_.size() && text_[pos_] != ',' && !atLineEnd()) ++pos_;
}

std::string RecordReader::next() {
  while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  std::string record;
  if (pos_ < text_.size() && text_[pos_] == '"') {
    const std::size_t close = text_.find('"', pos_ + 1);
    const std::size_t end = close == std::string::npos ? text_.size() : close;
    record.assign(text_.substr(pos_ + 1, end - pos_ - 1));
    pos_ = close == std::string::npos ? text_.size() : close + 1;
    skipToDelimiter();
  } else {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != ',' && !atLineEnd()) ++pos_;
    record.assign(text_.substr(start, pos_ - start));
  }
  if (pos_ < text_.size() && text_[pos_] == ',') {
    ++pos_;
  } else {
    skipLineEnd();
  }
  return record;
}

}  // namespace tolvan
