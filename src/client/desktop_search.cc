#include "client/desktop_search.h"

#include <algorithm>

#include "common/big_endian.h"
#include "protocol/codes.h"
#include "protocol/layouts.h"

namespace tarvex {
namespace {

namespace layout = protocol::search;

// Sent in the request and expected back in a successful reply.
constexpr std::uint32_t kTag = 0x54565853;  // "TVXS"
constexpr std::uint16_t kTagWord = 1;

// The reply's many small items are read a socket-full at a time.
Status ReceiveExactly(Connection* link, std::string* out, std::size_t n, int timeout) {
  out->assign(n, '\0');
  return n == 0 ? 0 : ReceiveBytes(link, out->data(), n, timeout);
}

Status ReceiveText(Connection* link, std::string* text, int timeout) {
  std::string length;
  if (Status s = ReceiveExactly(link, &length, 2, timeout)) return s;
  return ReceiveExactly(link, text, GetU16(length.data()), timeout);
}

Status ReceiveItem(Connection* link, FoundItem* item, int timeout) {
  std::string bytes;
  if (Status s = ReceiveExactly(link, &bytes, 2, timeout)) return s;
  item->category = GetU16(bytes.data());
  if (Status s = ReceiveExactly(link, &item->stamp, protocol::kStampLength, timeout)) return s;
  if (Status s = ReceiveExactly(link, &bytes, 4, timeout)) return s;
  item->size = GetU32(bytes.data());
  if (Status s = ReceiveText(link, &item->name, timeout)) return s;
  if (Status s = ReceiveText(link, &item->directory, timeout)) return s;
  return ReceiveText(link, &item->snippet, timeout);
}

}  // namespace

Status RequestSearch(Connection* link, std::string_view text, std::uint32_t count,
                     std::uint32_t first, SearchReply* reply, int timeout) {
  std::string block;
  AppendU16(block, layout::kBlockLength);
  AppendU32(block, kTag);
  AppendU16(block, kTagWord);
  AppendU32(block, count);
  AppendU32(block, first);
  std::string field(layout::kTextWidth, '\0');
  text = text.substr(0, layout::kTextWidth - 1);
  std::copy(text.begin(), text.end(), field.begin());
  block += field;
  if (Status s = SendHeader(link, protocol::request::kDesktopSearch)) return s;
  if (Status s = SendBytes(link, block)) return s;

  std::string header;
  if (Status s = ReceiveExactly(link, &header, layout::kHeaderLength, timeout)) return s;
  *reply = SearchReply();
  reply->status = static_cast<protocol::SearchStatus>(GetU32(header.data() + layout::kHeaderStatus));
  if (reply->status != protocol::SearchStatus::kOk) return 0;
  if (GetU32(header.data() + layout::kHeaderTag) != kTag ||
      GetU16(header.data() + layout::kHeaderTagWord) != kTagWord) {
    return message_status::kReceiveFailed;
  }
  reply->total = GetU32(header.data() + layout::kHeaderTotal);
  reply->first = GetU32(header.data() + layout::kHeaderFirst);
  const std::uint32_t items = GetU32(header.data() + layout::kHeaderCount);
  for (std::uint32_t i = 0; i < items; ++i) {
    FoundItem item;
    if (Status s = ReceiveItem(link, &item, timeout)) return s;
    reply->items.push_back(std::move(item));
  }
  return 0;
}

std::string_view CategoryName(std::uint16_t category) {
  switch (category) {
    case protocol::category::kFile: return "file";
    case protocol::category::kWeb: return "web";
    case protocol::category::kEmail: return "email";
    case protocol::category::kChat: return "chat";
    default: return "other";
  }
}

}  // namespace tarvex
