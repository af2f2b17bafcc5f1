#include <windows.h>
#include <wininet.h>

#include <memory>

#include "platform/http_get.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

using Clock = std::chrono::steady_clock;

struct InternetCloser {
  void operator()(void* handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

bool IsLoopback(const std::string& server) {
  return server == "localhost" || server.starts_with("127.") || server == "[::1]";
}

// WinINet's own error numbers have their texts in wininet.dll.
std::string InternetErrorText(DWORD error) {
  if (error >= INTERNET_ERROR_BASE && error <= INTERNET_ERROR_LAST) {
    const std::string text = ModuleErrorText(L"wininet.dll", error);
    if (!text.empty()) return text;
    if (error == ERROR_INTERNET_TIMEOUT) return "The operation timed out";
    if (error == ERROR_INTERNET_CANNOT_CONNECT) return "The attempt to connect to the server failed";
    return "WinINet error " + std::to_string(error);
  }
  return WindowsErrorText(error);
}

HttpGetResult Failed(DWORD error) {
  HttpGetResult result;
  result.error = static_cast<int>(error);
  result.error_text = InternetErrorText(error);
  return result;
}

// Bounds the next step by what is left of the exchange's time.
bool SetRemainingTime(void* handle, Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return false;
  DWORD ms = static_cast<DWORD>(left);
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    InternetSetOptionW(handle, option, &ms, sizeof ms);
  }
  return true;
}

}  // namespace

HttpGetResult HttpGet(const std::string& server, long port, const std::string& target,
                      std::chrono::milliseconds timeout, std::size_t max_body) {
  const auto deadline = Clock::now() + timeout;
  // A loopback server is always reached directly; others as the system is set up.
  InternetHandle session(InternetOpenW(L"VLD GDS",
                                       IsLoopback(server) ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PRECONFIG,
                                       nullptr, nullptr, 0));
  if (!session) return Failed(GetLastError());
  DWORD one_try = 1;
  InternetSetOptionW(session.get(), INTERNET_OPTION_CONNECT_RETRIES, &one_try, sizeof one_try);
  if (!SetRemainingTime(session.get(), deadline)) return Failed(ERROR_INTERNET_TIMEOUT);

  // WinINet takes an IPv6 address without its brackets.
  std::string host = server;
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  InternetHandle connection(InternetConnectW(session.get(), ToWide(host).c_str(),
                                             static_cast<INTERNET_PORT>(port), nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return Failed(GetLastError());

  const wchar_t* accept[] = {L"*/*", nullptr};
  constexpr DWORD kFlags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                           INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
  InternetHandle request(HttpOpenRequestW(connection.get(), L"GET", ToWide(target).c_str(), nullptr, nullptr,
                                          accept, kFlags, 0));
  if (!request) return Failed(GetLastError());
  if (!SetRemainingTime(request.get(), deadline)) return Failed(ERROR_INTERNET_TIMEOUT);
  if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return Failed(GetLastError());

  HttpGetResult result;
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
    return Failed(GetLastError());
  }
  result.status = static_cast<long>(status);
  if (status != 200) return result;  // an error page is not read

  char buffer[16384];
  for (;;) {
    if (!SetRemainingTime(request.get(), deadline)) return Failed(ERROR_INTERNET_TIMEOUT);
    DWORD n = 0;
    if (!InternetReadFile(request.get(), buffer, sizeof buffer, &n)) {
      HttpGetResult failed = Failed(GetLastError());
      failed.status = result.status;
      return failed;
    }
    if (n == 0) return result;
    for (DWORD i = 0; i < n; ++i) {
      if (buffer[i] != '\r') result.body.push_back(buffer[i]);
    }
    if (result.body.size() > max_body) {
      result.too_long = true;
      result.error = ERROR_MORE_DATA;
      result.error_text = "The reply is longer than " + std::to_string(max_body) + " bytes";
      return result;
    }
  }
}

}  // namespace tarvex
