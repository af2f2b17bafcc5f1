#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "platform/http_get.h"

namespace tarvex {
namespace {

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct HeaderListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The body of a 200 reply, collected without its carriage returns; the body
// of any other reply is not wanted and is dropped.
struct BodySink {
  CURL* handle;
  std::string* body;
  std::size_t max_body;
  bool too_long = false;

  static std::size_t Write(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const std::size_t n = size * count;
    long status = 0;
    curl_easy_getinfo(sink->handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) return n;
    for (std::size_t i = 0; i < n; ++i) {
      if (data[i] != '\r') sink->body->push_back(data[i]);
    }
    if (sink->body->size() > sink->max_body) {
      sink->too_long = true;
      return 0;  // ends the transfer
    }
    return n;
  }
};

}  // namespace

HttpGetResult HttpGet(const std::string& server, long port, const std::string& target,
                      std::chrono::milliseconds timeout, std::size_t max_body) {
  HttpGetResult result;
  InitialiseCurlOnce();
  std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
  if (!handle) {
    result.error = CURLE_FAILED_INIT;
    result.error_text = "Cannot start an HTTP request";
    return result;
  }
  std::unique_ptr<curl_slist, HeaderListDeleter> headers(curl_slist_append(nullptr, "Accept: */*"));
  if (headers) curl_slist_append(headers.get(), "User-Agent: VLD GDS");
  const std::string url = "http://" + server + ":" + std::to_string(port) + "/";
  char error[CURL_ERROR_SIZE] = "";
  BodySink sink{handle.get(), &result.body, max_body};
  CURL* h = handle.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_REQUEST_TARGET, target.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);  // an error page is not read
  curl_easy_setopt(h, CURLOPT_NOPROXY, "localhost,127.0.0.0/8,::1");
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &BodySink::Write);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);

  const CURLcode code = curl_easy_perform(h);
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);
  result.too_long = sink.too_long;
  if (code != CURLE_OK) {
    result.error = static_cast<int>(code);
    result.error_text = error[0] != '\0' ? error : curl_easy_strerror(code);
  }
  return result;
}

}  // namespace tarvex
