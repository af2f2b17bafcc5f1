#include "searchengine/result_page.h"

#include "search/xml_text.h"

namespace tarvex {
namespace {

constexpr std::string_view kFileScheme = "file://";
constexpr std::string_view kSnippetSeparator = " ... ";

std::string_view CategoryOf(const EngineHit& hit) {
  if (hit.mime_type == "message/rfc822" || hit.mime_type == "text/x-mail") return "email";
  if (hit.url.starts_with("http://") || hit.url.starts_with("https://")) return "web";
  return "file";
}

// One line's worth of text: control characters (line breaks included)
// become spaces, then the text is escaped.
std::string LineText(std::string_view text) {
  std::string flat(text);
  for (char& c : flat) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return EscapeXmlText(flat);
}

// The snippet lines "page : text", page numbers dropped. The engine escapes
// its snippets for HTML; they are decoded here and escaped again for XML.
std::string SnippetOf(std::string_view abstract) {
  std::string snippet;
  while (!abstract.empty()) {
    const std::size_t end = abstract.find('\n');
    std::string_view line = abstract.substr(0, end);
    abstract.remove_prefix(end == std::string_view::npos ? abstract.size() : end + 1);
    if (const std::size_t mark = line.find(" : "); mark != std::string_view::npos &&
        line.substr(0, mark).find_first_not_of("0123456789") == std::string_view::npos) {
      line.remove_prefix(mark + 3);
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    if (line.empty()) continue;
    if (!snippet.empty()) snippet += kSnippetSeparator;
    snippet += line;
  }
  return DecodeXmlReferences(snippet);
}

void AppendElement(std::string& page, std::string_view tag, std::string_view text) {
  page += '<';
  page += tag;
  page += '>';
  page += LineText(text);
  page += "</";
  page += tag;
  page += ">\n";
}

}  // namespace

std::string RenderResultPage(std::uint32_t total, const std::vector<EngineHit>& hits) {
  std::string page = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<results count=\"" +
                     std::to_string(total) + "\">\n";
  for (const EngineHit& hit : hits) {
    std::string_view url = hit.url;
    if (url.starts_with(kFileScheme)) url.remove_prefix(kFileScheme.size());
    page += "<result>\n";
    AppendElement(page, "category", CategoryOf(hit));
    AppendElement(page, "title", hit.title.empty() ? hit.file_name : hit.title);
    AppendElement(page, "url", url);
    AppendElement(page, "snippet", SnippetOf(hit.abstract));
    page += "</result>\n";
  }
  page += "</results>\n";
  return page;
}

}  // namespace tarvex
