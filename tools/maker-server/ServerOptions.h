#pragma once
#include <optional>
#include <string>
#include <vector>

// A fault applied to GET requests of one file ("*" for every file), the first `times` of them
// (0: all of them).
struct FileFault {
  enum class Kind { NotFound, ShortBody, Slow, NoLength };
  std::string path;
  Kind kind = Kind::NotFound;
  long long arg = 0;  // ShortBody: bytes sent before the connection drops; Slow: ms per 16 KiB
  int times = 0;
};

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 0;  // 0: ephemeral
  std::string filesRoot;  // served under /ventraide/files/
  bool noLength = false;  // answer HEAD and GET without a content length
  int probeStatus = 204;
  std::vector<FileFault> faults;
};

// Parses the command line; on error returns nullopt and fills error.
std::optional<ServerOptions> parseServerOptions(int argc, char **argv, std::string &error);
std::optional<FileFault> parseFault(const std::string &text, std::string &error);
const char *serverUsage();
