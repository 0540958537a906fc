#include "ServerOptions.h"

#include <cstdlib>

namespace {
bool toNumber(const std::string &s, long long &out) {
  if (s.empty()) return false;
  char *end = nullptr;
  out = std::strtoll(s.c_str(), &end, 10);
  return end && *end == '\0';
}
}  // namespace

const char *serverUsage() {
  return "usage: ventra-maker-server [--host H] [--port N] [--root DIR] [--no-length]\n"
         "                           [--probe-status N] [--fault PATH=KIND[:ARG][@TIMES]]...\n"
         "  --port 0 binds an ephemeral port; the bound address is printed as \"listening HOST:PORT\"\n"
         "  KIND: 404 | short:BYTES | slow:MS_PER_16KIB | nolength; PATH is relative to the files\n"
         "  folder or * for every file; @TIMES limits the fault to the first TIMES GET requests\n"
         "  stdin: \"quit\" or end of input stops the server\n";
}

std::optional<FileFault> parseFault(const std::string &text, std::string &error) {
  const auto eq = text.find('=');
  if (eq == std::string::npos || eq == 0) {
    error = "fault without PATH=: " + text;
    return std::nullopt;
  }
  FileFault f;
  f.path = text.substr(0, eq);
  std::string rest = text.substr(eq + 1);
  if (const auto at = rest.find('@'); at != std::string::npos) {
    long long n = 0;
    if (!toNumber(rest.substr(at + 1), n) || n < 0) {
      error = "bad @TIMES in fault: " + text;
      return std::nullopt;
    }
    f.times = int(n);
    rest.resize(at);
  }
  std::string kind = rest, arg;
  if (const auto colon = rest.find(':'); colon != std::string::npos) {
    kind = rest.substr(0, colon);
    arg = rest.substr(colon + 1);
  }
  if (kind == "404") {
    f.kind = FileFault::Kind::NotFound;
  } else if (kind == "nolength") {
    f.kind = FileFault::Kind::NoLength;
  } else if (kind == "short" || kind == "slow") {
    f.kind = kind == "short" ? FileFault::Kind::ShortBody : FileFault::Kind::Slow;
    if (!toNumber(arg, f.arg) || f.arg < 0) {
      error = "fault " + kind + " needs a number: " + text;
      return std::nullopt;
    }
  } else {
    error = "unknown fault kind: " + text;
    return std::nullopt;
  }
  return f;
}

std::optional<ServerOptions> parseServerOptions(int argc, char **argv, std::string &error) {
  ServerOptions o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&](std::string &out) {
      if (i + 1 >= argc) {
        error = "missing value for " + a;
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string v;
    long long n = 0;
    if (a == "--host") {
      if (!next(o.host)) return std::nullopt;
    } else if (a == "--port" || a == "--probe-status") {
      if (!next(v) || !toNumber(v, n) || n < 0 || n > 65535) {
        if (error.empty()) error = "bad number for " + a;
        return std::nullopt;
      }
      (a == "--port" ? o.port : o.probeStatus) = int(n);
    } else if (a == "--root") {
      if (!next(o.filesRoot)) return std::nullopt;
    } else if (a == "--no-length") {
      o.noLength = true;
    } else if (a == "--fault") {
      if (!next(v)) return std::nullopt;
      auto f = parseFault(v, error);
      if (!f) return std::nullopt;
      o.faults.push_back(*f);
    } else {
      error = "unknown option: " + a;
      return std::nullopt;
    }
  }
  return o;
}
