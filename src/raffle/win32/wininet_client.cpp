#include "raffle/win32/wininet_client.h"

#include <windows.h>

#include <wininet.h>

#include <memory>
#include <new>
#include <string>
#include <utility>

namespace vq::win32 {
namespace {

constexpr char agent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr char acceptHeader[] = "Accept: */*\r\n\r\n";

// Closes a WinINet handle when it goes out of scope.
struct InternetHandleCloser {
  void operator()(void* handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

// The URL with dot segments resolved and nothing percent-encoded or decoded.
bool canonicalize(const Text& url, std::string& canonical) {
  DWORD length = static_cast<DWORD>(url.length()) + 64;
  for (int attempt = 0; attempt < 2; ++attempt) {
    canonical.assign(length, '\0');
    if (InternetCanonicalizeUrlA(url.c_str(), canonical.data(), &length, ICU_NO_ENCODE)) {
      canonical.resize(length);
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  }
  return false;
}

struct UrlParts {
  std::string host, user, password, target;
  INTERNET_PORT port = 0;
  bool secure = false;
};

bool crack(const std::string& url, UrlParts& parts) {
  URL_COMPONENTSA components{};
  components.dwStructSize = sizeof components;
  components.dwHostNameLength = 1;  // non-zero: point into `url`
  components.dwUserNameLength = 1;
  components.dwPasswordLength = 1;
  components.dwUrlPathLength = 1;
  components.dwExtraInfoLength = 1;
  if (!InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &components)) return false;
  auto piece = [](const char* start, DWORD length) {
    return start != nullptr ? std::string(start, length) : std::string();
  };
  parts.host = piece(components.lpszHostName, components.dwHostNameLength);
  parts.user = piece(components.lpszUserName, components.dwUserNameLength);
  parts.password = piece(components.lpszPassword, components.dwPasswordLength);
  parts.target = piece(components.lpszUrlPath, components.dwUrlPathLength) +
                 piece(components.lpszExtraInfo, components.dwExtraInfoLength);
  parts.target = parts.target.substr(0, parts.target.find('#'));  // a fragment is never sent
  parts.port = components.nPort;
  parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
  return true;
}

// Windows' own defaults, set explicitly on each request: Wine's WinINet has no receive time-out
// at all, and a silent server would freeze the window (and its unsaved page) for good.
void useWindowsDefaultTimeouts(HINTERNET request) {
  const std::pair<DWORD, DWORD> timeouts[] = {
      {INTERNET_OPTION_CONNECT_TIMEOUT, 60000},
      {INTERNET_OPTION_SEND_TIMEOUT, 30000},
      {INTERNET_OPTION_RECEIVE_TIMEOUT, 30000},
  };
  for (auto [option, milliseconds] : timeouts) {
    InternetSetOptionA(request, option, &milliseconds, sizeof milliseconds);
  }
}

std::string contentLengthHeader(HINTERNET request) {
  char value[32];
  DWORD length = sizeof value;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, value, &length, nullptr)) return {};
  return std::string(value, length);
}

}  // namespace

WinInetClient::~WinInetClient() {
  if (internetHandle_ != nullptr) InternetCloseHandle(internetHandle_);
}

ByteArray WinInetClient::readUrl(const Text& url) {
  if (url.empty()) return ByteArray();
  std::string canonical;
  UrlParts parts;
  if (!canonicalize(url, canonical) || !crack(canonical, parts)) return ByteArray();

  // The system's proxy settings come with the preconfigured access type; Wine does not take
  // INTERNET_OPTION_PROXY on an open handle, so the session is opened that way instead.
  if (internetHandle_ == nullptr) {
    internetHandle_ = InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (internetHandle_ == nullptr) return ByteArray();
  }

  const InternetHandle connection(InternetConnectA(internetHandle_, parts.host.c_str(), parts.port,
                                                   parts.user.c_str(), parts.password.c_str(),
                                                   INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return ByteArray();
  char noCredential[] = "";
  InternetSetOptionA(connection.get(), INTERNET_OPTION_PROXY_USERNAME, noCredential, 0);
  InternetSetOptionA(connection.get(), INTERNET_OPTION_PROXY_PASSWORD, noCredential, 0);

  const char* acceptTypes[] = {"*/*", nullptr};
  const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                      (parts.secure ? INTERNET_FLAG_SECURE : 0);
  const InternetHandle request(HttpOpenRequestA(connection.get(), "GET", parts.target.c_str(),
                                                "HTTP/1.0", nullptr, acceptTypes, flags, 0));
  if (!request) return ByteArray();
  useWindowsDefaultTimeouts(request.get());
  if (!HttpSendRequestA(request.get(), acceptHeader, static_cast<DWORD>(sizeof acceptHeader - 1),
                        nullptr, 0)) {
    return ByteArray();
  }

  const std::int32_t readSize = readSizeFor(contentLengthHeader(request.get()));
  const std::unique_ptr<char[]> buffer(new (std::nothrow) char[readSize]);
  if (!buffer) return ByteArray();

  std::string body;
  DWORD received = 0;
  while (InternetReadFile(request.get(), buffer.get(), static_cast<DWORD>(readSize), &received) &&
         received > 0) {
    if (body.size() + received > static_cast<std::size_t>(maxReplyBytes)) return ByteArray();
    body.append(buffer.get(), received);
  }
  return ByteArray(body);
}

}  // namespace vq::win32
