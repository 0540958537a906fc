#pragma once
#include <curl/curl.h>
#include <memory>

// RAII for libcurl easy handles and header lists; the library's global state is set up once.
struct CurlEasyDeleter {
  void operator()(CURL *c) const { curl_easy_cleanup(c); }
};
struct CurlSlistDeleter {
  void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlSlist = std::unique_ptr<curl_slist, CurlSlistDeleter>;

// A new easy handle (never null: allocation failure throws std::bad_alloc).
CurlEasy makeCurlEasy();
