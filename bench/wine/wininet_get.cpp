// A plain HTTP GET through WinINet, as a yardstick for the product's fetch under Wine:
//
//   vq_wininet_get.exe URL [COUNT]
//
// opens one session with the system's proxy settings, then makes COUNT (default 1) GETs of URL,
// each on its own connection and request handle as the product does, and prints one line per GET:
// "<microseconds> <bytes read> <error>" (error 0 when every call succeeded, else the failing
// call's GetLastError()). Only the GETs are timed, not the process start or the session's opening.

#include <windows.h>

#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Result {
  double microseconds = 0;
  unsigned long long bytes = 0;
  DWORD error = 0;
};

Result get(HINTERNET session, const URL_COMPONENTSA& url, const std::string& host,
           const std::string& target) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  Result result;
  HINTERNET connection = InternetConnectA(session, host.c_str(), url.nPort, nullptr, nullptr,
                                          INTERNET_SERVICE_HTTP, 0, 0);
  HINTERNET request = nullptr;
  const char* acceptTypes[] = {"*/*", nullptr};
  if (connection == nullptr) {
    result.error = GetLastError();
  } else if ((request = HttpOpenRequestA(
                  connection, "GET", target.c_str(), "HTTP/1.0", nullptr, acceptTypes,
                  INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)) == nullptr) {
    result.error = GetLastError();
  } else if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
    result.error = GetLastError();
  } else {
    char buffer[16384];
    DWORD received = 0;
    while (InternetReadFile(request, buffer, sizeof buffer, &received) && received > 0) {
      result.bytes += received;
    }
    if (received != 0) result.error = GetLastError();
  }
  if (request != nullptr) InternetCloseHandle(request);
  if (connection != nullptr) InternetCloseHandle(connection);
  QueryPerformanceCounter(&end);
  result.microseconds = 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) /
                        static_cast<double>(frequency.QuadPart);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vq_wininet_get URL [COUNT]\n");
    return 2;
  }
  const int count = argc > 2 ? std::atoi(argv[2]) : 1;
  URL_COMPONENTSA url{};
  url.dwStructSize = sizeof url;
  url.dwHostNameLength = 1;
  url.dwUrlPathLength = 1;
  url.dwExtraInfoLength = 1;
  if (!InternetCrackUrlA(argv[1], 0, 0, &url)) {
    std::fprintf(stderr, "not a URL: %s\n", argv[1]);
    return 2;
  }
  const std::string host(url.lpszHostName, url.dwHostNameLength);
  const std::string target = std::string(url.lpszUrlPath, url.dwUrlPathLength) +
                             std::string(url.lpszExtraInfo, url.dwExtraInfoLength);

  HINTERNET session =
      InternetOpenA("vq_wininet_get", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session == nullptr) {
    std::fprintf(stderr, "InternetOpen failed: %lu\n", GetLastError());
    return 1;
  }
  int failures = 0;
  for (int i = 0; i < count; ++i) {
    const Result result = get(session, url, host, target);
    std::printf("%.0f %llu %lu\n", result.microseconds, result.bytes, result.error);
    std::fflush(stdout);
    failures += result.error != 0;
  }
  InternetCloseHandle(session);
  return failures == 0 ? 0 : 1;
}
