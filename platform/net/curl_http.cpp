// The game's HTTP client on libcurl.
#include "platform/net/curl_http.hpp"

#include <curl/curl.h>

#include <mutex>

#ifndef ZW_VERSION
#define ZW_VERSION "0"
#endif

namespace zw {

namespace {

// The reply's body is read to the end (so the service sees a whole exchange) but only a little
// of it is kept: the game never uses it.
constexpr size_t KeptBody = 64 * 1024;

size_t KeepBody(char* data, size_t size, size_t count, void* user) {
  auto* body = static_cast<std::string*>(user);
  const size_t n = size * count;
  if (body->size() < KeptBody) body->append(data, std::min(n, KeptBody - body->size()));
  return n;
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

TCurlHttp::TCurlHttp(long connectMs, long totalMs) : ConnectMs(connectMs), TotalMs(totalMs) {
  GlobalInit();
  Handle = curl_easy_init();
}

TCurlHttp::~TCurlHttp() {
  if (Handle) curl_easy_cleanup(static_cast<CURL*>(Handle));
}

std::string TCurlHttp::UserAgent() {
  return std::string("ZapWheely/") + ZW_VERSION;
}

bool TCurlHttp::Get(const std::string& url, std::string& body) {
  int status = 0;
  return Perform(url, nullptr, body, status);
}

bool TCurlHttp::Post(const std::string& url, const std::string& data, std::string& body,
                     int& status) {
  return Perform(url, &data, body, status);
}

bool TCurlHttp::Perform(const std::string& url, const std::string* post, std::string& body,
                        int& statusOut) {
  body.clear();
  statusOut = 0;
  auto* curl = static_cast<CURL*>(Handle);
  if (!curl) return false;
  // Settings are made anew for every request; the cookie store stays with the handle.
  curl_easy_reset(curl);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  if (post) {
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, post->data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(post->size()));
  } else {
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  }
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, ConnectMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, TotalMs);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, UserAgent().c_str());
  curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // the in-memory cookie engine
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, KeepBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_slist* headers = curl_slist_append(nullptr, "Accept: text/html, */*");
  if (post) {
    headers = curl_slist_append(headers, "Content-Type: application/octet-stream");
    // No "100-continue" round trip: the service reads the whole body anyway.
    headers = curl_slist_append(headers, "Expect:");
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  const CURLcode rc = curl_easy_perform(curl);
  long status = 0;
  if (rc == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(headers);
  statusOut = static_cast<int>(status);
  return rc == CURLE_OK && status >= 200 && status < 400;
}

}  // namespace zw
