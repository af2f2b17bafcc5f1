#include "platform/text_line_reader.h"

namespace tarvex {
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;

}  // namespace

TextLineReader::TextLineReader(const std::string& path, std::size_t limit)
    : file_(path), limit_(limit) {}

int TextLineReader::PeekByte() {
  if (position_ == buffer_.size()) {
    if (!file_.IsOpen()) return -1;
    buffer_.resize(kChunkSize);
    const long got = file_.Read(buffer_.data(), buffer_.size());
    buffer_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    position_ = 0;
    if (got <= 0) return -1;
  }
  return static_cast<unsigned char>(buffer_[position_]);
}

int TextLineReader::NextByte() {
  const int c = PeekByte();
  if (c >= 0) ++position_;
  return c;
}

bool TextLineReader::ReadLine(std::string* line) {
  line->clear();
  if (stopped_ || !file_.IsOpen()) return false;
  while (limit_ == kNoLineLimit || line->size() < limit_) {
    int c = NextByte();
    if (c < 0) {
      stopped_ = true;
      // A read error loses the part of a line read so far.
      if (file_.Error() != 0) line->clear();
      return !line->empty();
    }
    if (c == '\r' && PeekByte() == '\n') c = NextByte();
    line->push_back(static_cast<char>(c));
    if (c == '\n') return true;
  }
  stopped_ = true;
  hit_limit_ = true;
  line->clear();
  return false;
}

}  // namespace tarvex
