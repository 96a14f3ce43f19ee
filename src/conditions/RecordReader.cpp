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

// The record from the opening quote at pos_ up to its closing quote.
std::string RecordReader::quotedRecord() {
  const bool doubled = !doubledQuotes_.empty() &&
                       text_.compare(pos_ + 1, doubledQuotes_.size(), doubledQuotes_) == 0;
  std::string record;
  std::size_t from = pos_ + 1;
  for (;;) {
    const std::size_t close = text_.find('"', from);
    const std::size_t end = close == std::string::npos ? text_.size() : close;
    record.append(text_, from, end - from);
    pos_ = close == std::string::npos ? text_.size() : close + 1;
    if (!doubled || pos_ >= text_.size() || text_[pos_] != '"') return record;
    record += '"';
    from = pos_ + 1;
  }
}

std::string RecordReader::next() {
  while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  std::string record;
  if (pos_ < text_.size() && text_[pos_] == '"') {
    record = quotedRecord();
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
