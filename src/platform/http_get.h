// HttpGet: one blocking HTTP GET, as the desktop search client needs it.
//
// The request goes to `server` (a name, an IPv4 address or a bracketed IPv6
// address) on `port`, with `target` as its request target exactly as given
// (the caller has already percent-encoded what a request line cannot hold),
// and the headers "Accept: */*" and "User-Agent: VLD GDS". Redirections are
// not followed, nothing is cached, and a loopback server is never reached
// through a proxy. `timeout` bounds the whole exchange, connecting included.
//
// Only the body of a 200 reply is read, every carriage return left out and
// zero bytes kept; a body that grows past `max_body` bytes ends the exchange
// (too_long). Safe to call from several threads at once.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace tarvex {

struct HttpGetResult {
  long status = 0;         // the reply's HTTP status; 0 when no reply came
  std::string body;        // a 200 reply's body, without carriage returns
  bool too_long = false;   // the body passed max_body, so the exchange was ended
  // 0 when the exchange completed (whatever its status); otherwise the
  // failure's number (libcurl's code on Linux, GetLastError() on Windows)
  // and the system's text for it.
  int error = 0;
  std::string error_text;
};

HttpGetResult HttpGet(const std::string& server, long port, const std::string& target,
                      std::chrono::milliseconds timeout, std::size_t max_body);

}  // namespace tarvex
