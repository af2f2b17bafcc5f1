#include "datafiles/list_record.h"

#include "common/ascii.h"
#include "common/utf8.h"
#include "datafiles/quoted_fields.h"

namespace tarvex {

ListRecord::~ListRecord() = default;

std::string_view WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool ListRecord::StoreFields(std::uint32_t id, const std::vector<std::string_view>& texts,
                             std::string* line) {
  if (line == nullptr) return false;
  std::string text = "\"" + std::to_string(id) + "\"";
  for (std::string_view field : texts) {
    if (!IsQuotableText(field)) return false;
    text.append(",\"").append(field).append("\"");
  }
  if (CharacterCount(text) > kMaxLineLength) return false;
  text.push_back('\n');
  *line = std::move(text);
  return true;
}

bool ListRecord::ReadFields(std::string_view line, std::size_t count, std::uint32_t* id,
                            std::vector<std::string>* texts) {
  line = WithoutLineEnd(line);
  std::vector<std::string> fields;
  if (CharacterCount(line) > kMaxLineLength || !SplitQuotedFields(line, &fields)) return false;
  if (fields.size() != count + 1 || !ParseRecordId(fields[0], id)) return false;
  // A text that could not be written back as it reads (a quote before a CR,
  // say) would make the line vanish at the next save: such a line is not a
  // record, and the list keeps it verbatim instead.
  for (std::size_t i = 1; i < fields.size(); ++i) {
    if (!IsQuotableText(fields[i])) return false;
  }
  texts->assign(fields.begin() + 1, fields.end());
  return true;
}

bool UnreadableLine::FormatLine(std::string* line) const {
  if (line == nullptr) return false;
  *line = text_ + "\n";
  return true;
}

bool UnreadableLine::ParseLine(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  text_ = std::string(line);
  return true;
}

std::uint32_t UnreadableLine::LeadingId() const {
  // The digits of an opening field read the same whether or not it is closed.
  if (text_.empty() || text_[0] != '"') return 0;
  return static_cast<std::uint32_t>(ParseDecimal(std::string_view(text_).substr(1)));
}

}  // namespace tarvex
