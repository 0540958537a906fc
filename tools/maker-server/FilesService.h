#pragma once
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ServerOptions.h"

namespace httplib {
class Server;
}

// The download server's files folder under /ventraide/files/: GET streams the file in chunks
// (memory stays flat whatever its size), HEAD answers its length; faults change single files.
class FilesService {
 public:
  explicit FilesService(const ServerOptions &options);
  void registerOn(httplib::Server &server);

 private:
  // The fault that applies to this request; a GET uses up one of its times.
  std::optional<FileFault> takeFault(const std::string &path, bool isGet);

  std::string root_;
  bool noLength_;
  std::mutex mutex_;
  std::vector<FileFault> faults_;
  std::vector<int> used_;
};
