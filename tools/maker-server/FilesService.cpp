#include "FilesService.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <thread>

namespace {
constexpr size_t kChunk = 256 * 1024;
constexpr size_t kSlowChunk = 16 * 1024;

// A request path may not leave the files folder.
bool safeRelative(const std::string &rel) {
  if (rel.empty() || rel.front() == '/' || rel.find('\0') != std::string::npos || rel.find('\\') != std::string::npos)
    return false;
  size_t start = 0;
  while (start <= rel.size()) {
    const size_t end = std::min(rel.find('/', start), rel.size());
    if (rel.compare(start, end - start, "..") == 0 && end - start == 2) return false;
    start = end + 1;
  }
  return true;
}

struct FileCloser {
  void operator()(std::FILE *f) const { std::fclose(f); }
};
}  // namespace

FilesService::FilesService(const ServerOptions &options)
    : root_(options.filesRoot), noLength_(options.noLength), faults_(options.faults), used_(faults_.size(), 0) {}

std::optional<FileFault> FilesService::takeFault(const std::string &path, bool isGet) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = 0; i < faults_.size(); ++i) {
    const FileFault &f = faults_[i];
    if (f.path != "*" && f.path != path) continue;
    if (f.times > 0 && used_[i] >= f.times) continue;
    if (isGet) ++used_[i];
    return f;
  }
  return std::nullopt;
}

void FilesService::registerOn(httplib::Server &server) {
  server.Get(R"(/ventraide/files/(.+))", [this](const httplib::Request &req, httplib::Response &res) {
    const std::string rel = req.matches[1];
    if (root_.empty() || !safeRelative(rel)) {
      res.status = 404;
      return;
    }
    const auto fault = takeFault(rel, req.method == "GET");
    const auto kind = fault ? fault->kind : FileFault::Kind::NoLength;
    if (fault && kind == FileFault::Kind::NotFound) {
      res.status = 404;
      return;
    }
    const std::string full = root_ + "/" + rel;
    struct stat st {};
    if (::stat(full.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      res.status = 404;
      return;
    }
    std::shared_ptr<std::FILE> file(std::fopen(full.c_str(), "rb"), FileCloser());
    if (!file) {
      res.status = 404;
      return;
    }
    const size_t size = size_t(st.st_size);
    const bool slow = fault && kind == FileFault::Kind::Slow;
    const long long slowMs = slow ? fault->arg : 0;
    const size_t cut = fault && kind == FileFault::Kind::ShortBody ? size_t(fault->arg) : size;
    const size_t chunk = slow ? kSlowChunk : kChunk;

    // sends [offset, min(offset + chunk, limit)); false drops the connection
    auto sendFrom = [file, chunk, slowMs, cut](size_t offset, size_t limit, httplib::DataSink &sink) {
      if (offset >= cut) return false;  // the announced length is never reached
      if (slowMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(slowMs));
      std::vector<char> buf(std::min({chunk, limit - offset, cut - offset}));
      if (std::fseek(file.get(), long(offset), SEEK_SET) != 0) return false;
      const size_t n = std::fread(buf.data(), 1, buf.size(), file.get());
      if (n == 0) return false;
      return sink.write(buf.data(), n);
    };

    res.status = 200;
    if (noLength_ || (fault && kind == FileFault::Kind::NoLength)) {
      res.set_chunked_content_provider("application/octet-stream",
                                       [sendFrom, size](size_t offset, httplib::DataSink &sink) {
                                         if (offset >= size) {
                                           sink.done();
                                           return true;
                                         }
                                         return sendFrom(offset, size, sink);
                                       });
    } else {
      res.set_content_provider(size, "application/octet-stream",
                               [sendFrom, size](size_t offset, size_t, httplib::DataSink &sink) {
                                 return sendFrom(offset, size, sink);
                               });
    }
  });
}
