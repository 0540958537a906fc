#include "RequestLog.h"

#include <cstdio>
#include <mutex>

namespace RequestLog {
void line(const std::string &text) {
  static std::mutex m;
  std::lock_guard<std::mutex> lock(m);
  std::fputs(text.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
}  // namespace RequestLog
