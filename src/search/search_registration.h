// How tarvex-search publishes its address in the desktop search setting
// (search_url, read by the server's DesktopSearchClient) without taking the
// setting from another search engine the user chose.
//
// Its address is "http://127.0.0.1:<port>/search/<token>?q=", where the
// token is random: other users of the computer can reach the loopback port,
// but only the owner of the setting knows the path. The address it
// registered last is kept in the file "address" of its folder, so that a
// later start can tell its own earlier address from someone else's.
// Not safe for concurrent use; one engine runs per user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

// The environment variable through which a program that starts the engine as
// its child names itself (the engine stops when that process ends).
inline constexpr char kParentVariable[] = "TARVEX_SEARCH_PARENT";

struct SearchAddressParts {
  std::uint16_t port = 0;
  std::string token;
};

// The engine's folder, "<application folder>/Search", created when missing;
// none when it cannot be made.
std::optional<std::string> SearchEngineFolder();

std::string MakeSearchAddress(std::uint16_t port, std::string_view token);
// The path the engine answers on for that token: "/search/<token>".
std::string SearchPath(std::string_view token);
// Port and token of an address MakeSearchAddress gave; none for any other.
std::optional<SearchAddressParts> ParseSearchAddress(std::string_view address);
// A new random token (32 hexadecimal digits).
std::string NewSearchToken();

// The address the engine registered last; "" when none.
std::string LastOwnSearchAddress();
// True when `value` (a search_url) is that address.
bool IsOwnSearchAddress(std::string_view value);

// Writes the address into search_url when none is set or the one set is the
// engine's own earlier address, and remembers it. True when search_url now
// holds it.
bool RegisterSearchAddress(const std::string& address);
// Empties search_url when it still holds the address (so that servers answer
// "no search address" rather than fail to connect once the engine is gone).
void WithdrawSearchAddress(const std::string& address);

}  // namespace tarvex
