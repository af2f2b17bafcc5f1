#include "search/search_result_list.h"

#include "common/ascii.h"
#include "datafiles/access_control_list.h"
#include "search/xml_text.h"

namespace tarvex {

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

bool SearchResultList::ReadTextLine(std::string* line) {
  line->clear();
  if (!input_.is_open()) return false;
  std::streambuf* in = input_.rdbuf();
  for (;;) {
    const int c = in->sbumpc();
    if (c == std::char_traits<char>::eof()) return !line->empty();
    if (c == '\n') {
      if (line->empty()) continue;
      return true;
    }
    line->push_back(static_cast<char>(c));
    if (line->size() >= kMaxLine) {
      line->clear();
      return false;
    }
  }
}

std::string SearchResultList::ReadResultBlock() {
  std::string block;
  std::string line;
  if (ReadTextLine(&line) && line.find("<result>") == std::string::npos) return block;
  while (ReadTextLine(&line) && line.find("</result>") == std::string::npos) block += line;
  return block;
}

bool SearchResultList::ParseResultFile(const std::string& path, const AccessControlList& access) {
  input_.open(path, std::ios::binary);
  if (!input_.is_open()) return false;
  std::string line;
  ReadTextLine(&line);
  if (ReadTextLine(&line) && line.find("<results") != std::string::npos) {
    const std::size_t quote = line.find('"');
    if (quote != std::string::npos) {
      const std::size_t end = line.find('"', quote + 1);
      total_ = ParseDecimal(std::string_view(line).substr(quote + 1, end - quote - 1));
    }
  }
  for (std::string block = ReadResultBlock(); !block.empty(); block = ReadResultBlock()) {
    std::string url = DecodeXmlReferences(ExtractElement(block, "url"));
    if (!access.IsPathAllowed(url)) continue;
    results_.push_back({ExtractElement(block, "category"), ExtractElement(block, "title"),
                        std::move(url), ExtractElement(block, "snippet")});
  }
  input_.close();
  return true;
}

const SearchResult* SearchResultList::GetResult(std::int32_t index) const {
  if (index < 0 || index >= GetResultCount()) return nullptr;
  return &results_[static_cast<std::size_t>(index)];
}

}  // namespace tarvex
