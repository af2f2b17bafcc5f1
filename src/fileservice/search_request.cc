// The desktop search request, DesktopSearch (105): the device's search goes
// to the desktop search engine (search/desktop_search_client.h), its page is
// read into a result list, and each result the session's access list allows
// goes to the device with the stamp and size of its file. The total stays
// the engine's number.
#include <algorithm>
#include <vector>

#include "common/big_endian.h"
#include "platform/path.h"
#include "fileservice/file_session.h"
#include "fileservice/file_stamp.h"
#include "protocol/codes.h"
#include "protocol/layouts.h"
#include "search/desktop_search_client.h"
#include "search/search_result_list.h"

namespace tarvex {
namespace {

namespace layout = protocol::search;

std::uint16_t CategoryCode(const std::string& category) {
  if (category == "file") return protocol::category::kFile;
  if (category == "web") return protocol::category::kWeb;
  if (category == "email") return protocol::category::kEmail;
  if (category == "chat") return protocol::category::kChat;
  return protocol::category::kOther;
}

// A text item, already in the device's code page and at most kMaxText
// bytes: its 16-bit length, then its bytes when there are any.
void AddText(FrameBatch& reply, std::string_view text) {
  std::string length;
  AppendU16(length, static_cast<std::uint16_t>(text.size()));
  reply.Add(length);
  if (!text.empty()) reply.Add(text);
}

// The results a session may see: those whose url its access list allows.
std::vector<const SearchResult*> AllowedResults(const SearchResultList& list, const AccessControlList& access) {
  std::vector<const SearchResult*> allowed;
  for (const SearchResult& result : list.Results()) {
    const std::string& url = result.url;
    if (!access.IsPathAllowed(url)) continue;
    allowed.push_back(&result);
  }
  return allowed;
}

}  // namespace

// One result record, each field an item of its own: category, stamp, size,
// file name, directory, snippet.
void FileSession::AddResultRecord(FrameBatch& reply, const SearchResult& result) {
  std::string category;
  AppendU16(category, CategoryCode(result.category));
  reply.Add(category);

  // The url splits after its last separator into directory and file name.
  const std::string_view url = result.url;
  const auto [directory, name] = SplitPath(url);
  // Only a local path can name a file here; web addresses and the like are
  // never looked up (relative to the working directory or anywhere else).
  FileStamp stamp{std::string(protocol::kStampLength, '\0'), 0};
  if (IsAbsolutePath(url)) stamp = GetFileStamp(name, directory);
  std::string size;
  AppendU32(size, stamp.size);
  reply.Add(stamp.stamp);
  reply.Add(size);
  AddText(reply, ToDevice(name, layout::kMaxText));
  AddText(reply, ToDevice(directory, layout::kMaxText));
  AddText(reply, ToDeviceForDisplay(result.snippet, layout::kMaxText));
}

Status FileSession::DesktopSearch() {
  std::string block;
  Status status = ReceiveBlock(connection.get(), &block, receive_timeout_);
  if (status != 0) return status;
  // A block too short for its fields cannot be read; it ends the session.
  if (block.size() < layout::kBlockLength) return 1;
  const std::uint32_t tag = GetU32(block.data() + layout::kTag);
  const std::uint16_t tag_word = GetU16(block.data() + layout::kTagWord);
  const std::uint32_t count = GetU32(block.data() + layout::kCount);
  const std::uint32_t first = GetU32(block.data() + layout::kFirst);
  // The text ends at its first zero byte, at the latest after 99 characters.
  const std::string_view field(block.data() + layout::kText, layout::kTextWidth - 1);
  const std::string text = FromDevice(field.substr(0, field.find('\0')));
  if (!data_dir_) return 1;

  std::string header(layout::kHeaderLength, '\0');
  PutU16(header.data(), layout::kHeaderLength);
  DesktopSearchClient client;
  std::string page;
  const protocol::SearchStatus search_status = client.RunQuery(text, first, count, &page);
  if (search_status != protocol::SearchStatus::kOk) {
    SetMessage("Desktop search failed (%u): %s", static_cast<unsigned>(search_status),
               client.LastErrorText().c_str());
    ReportEvent("Error");
    PutU32(header.data() + layout::kHeaderStatus, static_cast<std::uint32_t>(search_status));
    return ReportFailure(SendBytes(connection.get(), header),
                         "Failed to send search reply: Error code - %d");
  }

  SearchResultList results;
  results.Parse(page);
  const std::vector<const SearchResult*> allowed = AllowedResults(results, access_);
  PutU32(header.data() + layout::kHeaderTag, tag);
  PutU16(header.data() + layout::kHeaderTagWord, tag_word);
  PutU32(header.data() + layout::kHeaderTotal, static_cast<std::uint32_t>(std::max(results.GetTotal(), 0)));
  PutU32(header.data() + layout::kHeaderCount, static_cast<std::uint32_t>(allowed.size()));
  PutU32(header.data() + layout::kHeaderFirst, first);
  // The reply's items go out together; the device reads them as a stream.
  FrameBatch reply(connection.get());
  reply.Add(header);
  for (std::size_t i = 0; i < allowed.size() && reply.Failure() == 0; ++i) AddResultRecord(reply, *allowed[i]);
  return ReportFailure(reply.Flush(), "Failed to send search results: Error code - %d");
}

}  // namespace tarvex
