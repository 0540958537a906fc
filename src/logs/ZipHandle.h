#pragma once
#include <memory>
#include <zip.h>

// RAII for libzip archives and entry readers. Discarding an archive writes nothing; writers call
// zip_close themselves and release() on success.
struct ZipArchiveDeleter {
  void operator()(zip_t *z) const { zip_discard(z); }
};
struct ZipFileDeleter {
  void operator()(zip_file_t *f) const { zip_fclose(f); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipArchiveDeleter>;
using ZipEntryReader = std::unique_ptr<zip_file_t, ZipFileDeleter>;
