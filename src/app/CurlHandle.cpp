#include "app/CurlHandle.h"

#include <mutex>
#include <new>

CurlEasy makeCurlEasy() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  CURL *c = curl_easy_init();
  if (!c) throw std::bad_alloc();
  return CurlEasy(c);
}
