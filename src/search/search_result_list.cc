#include "search/search_result_list.h"

#include "common/ascii.h"
#include "search/xml_text.h"

namespace tarvex {
namespace {

constexpr std::size_t kMaxLine = SearchResultList::kMaxLine;

// Hands out the non-blank lines of a page, by the rules of the header.
class LineScanner {
 public:
  explicit LineScanner(std::string_view page) : page_(page) {}

  bool Next(std::string* line) {
    line->clear();
    while (at_ < page_.size()) {
      const char c = page_[at_++];
      if (c == '\n') {
        if (line->empty()) continue;
        return true;
      }
      line->push_back(c);
      if (line->size() >= kMaxLine) {
        line->clear();
        return false;
      }
    }
    return !line->empty();
  }

  // The element lines of the next result, joined; empty at the end.
  std::string ResultBlock() {
    std::string block;
    std::string line;
    if (Next(&line) && line.find("<result>") == std::string::npos) return block;
    while (Next(&line) && line.find("</result>") == std::string::npos) block += line;
    return block;
  }

 private:
  std::string_view page_;
  std::size_t at_ = 0;
};

}  // namespace

std::string ExtractElement(std::string_view block, std::string_view tag) {
  const std::string open = "<" + std::string(tag) + ">";
  const std::string close = "</" + std::string(tag) + ">";
  const std::size_t start = block.find(open);
  if (start == std::string_view::npos) return "";
  const std::size_t text = start + open.size();
  const std::size_t end = block.find(close, text);
  if (end == std::string_view::npos) return "";
  return std::string(block.substr(text, end - text));
}

void SearchResultList::Parse(std::string_view page) {
  LineScanner lines(page);
  std::string line;
  lines.Next(&line);
  if (lines.Next(&line) && line.find("<results") != std::string::npos) {
    const std::size_t quote = line.find('"');
    if (quote != std::string::npos) {
      const std::size_t end = line.find('"', quote + 1);
      total_ = ParseDecimal(std::string_view(line).substr(quote + 1, end - quote - 1));
    }
  }
  for (std::string block = lines.ResultBlock(); !block.empty(); block = lines.ResultBlock()) {
    results_.push_back({ExtractElement(block, "category"), ExtractElement(block, "title"),
                        DecodeXmlReferences(ExtractElement(block, "url")), ExtractElement(block, "snippet")});
  }
}

}  // namespace tarvex
