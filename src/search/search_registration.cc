#include "search/search_registration.h"

#include <random>

#include "common/ascii.h"
#include "platform/path.h"
#include "platform/app_folder.h"
#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/text_line_reader.h"
#include "platform/user_store.h"
#include "search/desktop_search_client.h"

namespace tarvex {
namespace {

constexpr std::string_view kAddressStart = "http://127.0.0.1:";
constexpr std::string_view kPathStart = "/search/";
constexpr std::string_view kAddressEnd = "?q=";
constexpr char kAddressFile[] = "address";

std::string CurrentSearchUrl() { return ReadUserValue(kSearchUrlKeyPath, kSearchUrlValue).value_or(""); }

}  // namespace

std::optional<std::string> SearchEngineFolder() {
  std::optional<std::string> app = AppFolderPath();
  if (!app) return std::nullopt;
  const std::string folder = JoinPath(*app, "Search");
  if (!MakeDirectories(folder, kPrivateFolderMode)) return std::nullopt;
  return folder;
}

std::string SearchPath(std::string_view token) { return std::string(kPathStart) + std::string(token); }

std::string MakeSearchAddress(std::uint16_t port, std::string_view token) {
  return std::string(kAddressStart) + std::to_string(port) + SearchPath(token) + std::string(kAddressEnd);
}

std::optional<SearchAddressParts> ParseSearchAddress(std::string_view address) {
  if (!address.starts_with(kAddressStart) || !address.ends_with(kAddressEnd)) return std::nullopt;
  address.remove_prefix(kAddressStart.size());
  address.remove_suffix(kAddressEnd.size());
  const std::size_t slash = address.find('/');
  if (slash == std::string_view::npos || slash == 0 || slash > 5) return std::nullopt;
  const std::string_view port = address.substr(0, slash);
  if (port.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  const std::int32_t number = ParseDecimal(port);
  std::string_view path = address.substr(slash);
  if (number < 1 || number > 65535 || !path.starts_with(kPathStart)) return std::nullopt;
  path.remove_prefix(kPathStart.size());
  if (path.empty() || path.find_first_not_of("0123456789abcdef") != std::string_view::npos) return std::nullopt;
  return SearchAddressParts{static_cast<std::uint16_t>(number), std::string(path)};
}

std::string NewSearchToken() {
  std::random_device random;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 32; ++i) token += kHex[random() & 0x0F];
  return token;
}

std::string LastOwnSearchAddress() {
  std::optional<std::string> folder = SearchEngineFolder();
  if (!folder) return "";
  TextLineReader reader(JoinPath(*folder, kAddressFile));
  std::string address;
  if (reader.ReadLine(&address) && address.back() == '\n') address.pop_back();
  return ParseSearchAddress(address) ? address : "";
}

bool IsOwnSearchAddress(std::string_view value) {
  const std::string own = LastOwnSearchAddress();
  return !own.empty() && value == own;
}

bool RegisterSearchAddress(const std::string& address) {
  const std::string current = CurrentSearchUrl();
  if (current == address) return true;
  if (!current.empty() && !IsOwnSearchAddress(current)) return false;
  std::optional<std::string> folder = SearchEngineFolder();
  if (!folder || !WriteFileAtomically(JoinPath(*folder, kAddressFile), address + "\n")) return false;
  return WriteUserValue(kSearchUrlKeyPath, kSearchUrlValue, address);
}

void WithdrawSearchAddress(const std::string& address) {
  if (CurrentSearchUrl() == address) WriteUserValue(kSearchUrlKeyPath, kSearchUrlValue, "");
}

}  // namespace tarvex
