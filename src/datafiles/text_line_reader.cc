#include "datafiles/text_line_reader.h"

namespace tarvex {

TextLineReader::TextLineReader(const std::string& path, std::size_t limit) : limit_(limit) {
  if (!path.empty()) in_.open(path, std::ios::binary);
}

bool TextLineReader::ReadLine(std::string* line) {
  line->clear();
  if (stopped_ || !in_.is_open()) return false;
  std::streambuf* input = in_.rdbuf();
  using Traits = std::streambuf::traits_type;
  while (limit_ == kNoLineLimit || line->size() < limit_) {
    Traits::int_type c = input->sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) {
      stopped_ = true;
      return !line->empty();
    }
    if (c == '\r' && input->sgetc() == '\n') c = input->sbumpc();
    line->push_back(Traits::to_char_type(c));
    if (c == '\n') return true;
  }
  stopped_ = true;
  hit_limit_ = true;
  line->clear();
  return false;
}

}  // namespace tarvex
