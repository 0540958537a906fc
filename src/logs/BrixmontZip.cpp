#include "logs/BrixmontZip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "app/VentraError.h"
#include "logs/ArchiveHelpers.h"
#include "logs/ZipHandle.h"

namespace {
quint32 le16(const uchar *p) { return quint32(p[0]) | quint32(p[1]) << 8; }
quint32 le32(const uchar *p) { return le16(p) | le16(p + 2) << 16; }
quint64 le64(const uchar *p) { return quint64(le32(p)) | quint64(le32(p + 4)) << 32; }

// True when a raw name in the central directory holds a NUL byte. libzip hands names out as C
// strings, which would silently cut such a name short. nullopt: the directory could not be read
// here (libzip then has the last word on the archive's shape).
std::optional<bool> centralDirectoryHasNul(QFile &f) {
  const qint64 size = f.size();
  const qint64 tailLen = std::min<qint64>(size, 22 + 65535);
  if (tailLen < 22 || !f.seek(size - tailLen)) return std::nullopt;
  const QByteArray tail = f.read(tailLen);
  const auto *t = reinterpret_cast<const uchar *>(tail.constData());
  qint64 eocd = -1;
  for (qint64 i = tail.size() - 22; i >= 0; --i) {
    if (le32(t + i) == 0x06054b50u) {
      eocd = i;
      break;
    }
  }
  if (eocd < 0) return std::nullopt;
  quint64 count = le16(t + eocd + 10), cdSize = le32(t + eocd + 12), cdOffset = le32(t + eocd + 16);
  if (count == 0xFFFF || cdSize == 0xFFFFFFFFu || cdOffset == 0xFFFFFFFFu) {
    if (eocd < 20 || le32(t + eocd - 20) != 0x07064b50u) return std::nullopt;
    if (!f.seek(qint64(le64(t + eocd - 20 + 8)))) return std::nullopt;
    const QByteArray z = f.read(56);
    const auto *zp = reinterpret_cast<const uchar *>(z.constData());
    if (z.size() < 56 || le32(zp) != 0x06064b50u) return std::nullopt;
    count = le64(zp + 32);
    cdSize = le64(zp + 40);
    cdOffset = le64(zp + 48);
  }
  if (cdSize > quint64(size) || !f.seek(qint64(cdOffset))) return std::nullopt;
  const QByteArray cd = f.read(qint64(cdSize));
  const auto *p = reinterpret_cast<const uchar *>(cd.constData());
  qsizetype pos = 0;
  for (quint64 i = 0; i < count; ++i) {
    if (pos + 46 > cd.size() || le32(p + pos) != 0x02014b50u) return std::nullopt;
    const qsizetype nameLen = qsizetype(le16(p + pos + 28));
    const qsizetype extra = qsizetype(le16(p + pos + 30)), comment = qsizetype(le16(p + pos + 32));
    if (pos + 46 + nameLen > cd.size()) return std::nullopt;
    if (std::memchr(p + pos + 46, 0, size_t(nameLen))) return true;
    pos += 46 + nameLen + extra + comment;
  }
  return false;
}

// The entry's path below the destination with "/" separators, or nullopt when it must be refused.
std::optional<QString> safeEntryPath(const QString &name) {
  if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1Char('\\'))) return std::nullopt;
  if (name.size() >= 2 && name[1] == QLatin1Char(':') && name[0].isLetter()) return std::nullopt;
  if (name.contains(QChar(0))) return std::nullopt;
  QString path = name;
  path.replace(QLatin1Char('\\'), QLatin1Char('/'));  // archives made on Windows may use either
  for (const QString &part : path.split(QLatin1Char('/'))) {
    if (part == QLatin1String("..")) return std::nullopt;
  }
  return path;
}

bool isSymlinkEntry(zip_t *zip, zip_uint64_t index) {
  zip_uint8_t opsys = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(zip, index, 0, &opsys, &attributes) != 0) return false;
  return opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

bool inside(const QString &canonicalPath, const QString &canonicalRoot) {
  return canonicalPath == canonicalRoot || canonicalPath.startsWith(canonicalRoot + QLatin1Char('/'));
}

class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};
}  // namespace

TClassBrixmontZip::~TClassBrixmontZip() {
  FEvent_OnStartProgress = nullptr;
  FEvent_OnProgress = nullptr;
  FEvent_OnEndProgress = nullptr;
}

QString TClassBrixmontZip::FolderPlusFileName() const {
  if (FOriginFolder.isEmpty() || FOriginFolder.endsWith(QLatin1Char('/'))) return FOriginFolder + FFileName;
  return FOriginFolder + QLatin1Char('/') + FFileName;
}

void TClassBrixmontZip::UnzipFileTo(const QString &_OriginFolder, const QString &_FileName,
                                    const QString &_DestinationFolder, bool _deleteFilesBefore) {
  FOriginFolder = _OriginFolder;
  FFileName = _FileName;
  FDestinationFolder = _DestinationFolder;
  const QString archive = FolderPlusFileName();
  if (!QFileInfo(archive).isFile()) throw VentraError(QStringLiteral("O arquivo ZIP não foi encontrado: ") + FFileName);
  if (!QFileInfo(FDestinationFolder).isDir()) {
    QDir().mkpath(FDestinationFolder);
    if (!QFileInfo(FDestinationFolder).isDir())
      throw VentraError(QStringLiteral("Não foi possível criar o diretório de destino: ") + FDestinationFolder);
  }
  if (_deleteFilesBefore) ApagarArquivosPasta(FDestinationFolder);

  struct EndProgress {
    TClassBrixmontZip &self;
    ~EndProgress() {
      if (self.FEvent_OnEndProgress) self.FEvent_OnEndProgress();
    }
  } endProgress{*this};

  int err = 0;
  ZipArchive zip(zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &err));
  if (!zip) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, err);
    const QString why = QString::fromUtf8(zip_error_strerror(&ze));
    zip_error_fini(&ze);
    throw VentraError(QStringLiteral("Arquivo ZIP inválido: ") + FFileName + " (" + why + ")");
  }
  {
    QFile raw(archive);
    if (raw.open(QIODevice::ReadOnly) && centralDirectoryHasNul(raw).value_or(false))
      throw VentraError(QStringLiteral("Entrada inválida no arquivo ZIP ") + FFileName + ": nome com NUL");
  }

  // every entry is checked before anything is written
  const zip_int64_t count = zip_get_num_entries(zip.get(), 0);
  std::vector<QString> paths;
  for (zip_int64_t i = 0; i < count; ++i) {
    const char *rawName = zip_get_name(zip.get(), zip_uint64_t(i), 0);
    const QString name = rawName ? QString::fromUtf8(rawName) : QString();
    const auto path = safeEntryPath(name);
    if (!path) throw VentraError(QStringLiteral("Entrada inválida no arquivo ZIP ") + FFileName + ": " + name);
    if (isSymlinkEntry(zip.get(), zip_uint64_t(i)))
      throw VentraError(QStringLiteral("Entrada inválida no arquivo ZIP ") + FFileName + ": " + name +
                        " (link simbólico)");
    paths.push_back(*path);
  }

  if (FEvent_OnStartProgress) FEvent_OnStartProgress(qint32(count), FFileName);
  const QString root = QFileInfo(FDestinationFolder).canonicalFilePath();
  qint64 unpacked = 0;
  std::vector<char> buffer(256 * 1024);
  for (zip_int64_t i = 0; i < count; ++i) {
    const QString &rel = paths[size_t(i)];
    const QString target = root + QLatin1Char('/') + rel;
    const bool isDir = rel.endsWith(QLatin1Char('/'));
    const QString parent = isDir ? target : QFileInfo(target).path();
    QDir().mkpath(parent);
    // a link already in the destination must not lead the entry elsewhere
    if (!inside(QFileInfo(parent).canonicalFilePath(), root))
      throw VentraError(QStringLiteral("Entrada inválida no arquivo ZIP ") + FFileName + ": " + rel +
                        " (fora do destino)");
    if (!isDir) {
      const QByteArray targetPath = QFile::encodeName(target);
      const int fd = ::open(targetPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
      if (fd < 0)
        throw VentraError(QStringLiteral("Falha ao criar arquivo: ") + target + " (" + strerror(errno) + ")");
      FdCloser closer(fd);
      ZipEntryReader entry(zip_fopen_index(zip.get(), zip_uint64_t(i), 0));
      if (!entry) {
        ::unlink(targetPath.constData());
        throw VentraError(QStringLiteral("Falha ao ler ") + rel + " em " + FFileName + ": " +
                          QString::fromUtf8(zip_strerror(zip.get())));
      }
      for (;;) {
        const zip_int64_t n = zip_fread(entry.get(), buffer.data(), buffer.size());
        if (n < 0) {
          const QString why = QString::fromUtf8(zip_file_strerror(entry.get()));
          ::unlink(targetPath.constData());
          throw VentraError(QStringLiteral("Falha ao ler ") + rel + " em " + FFileName + ": " + why);
        }
        if (n == 0) break;
        unpacked += n;
        if (unpacked > FMaxUnpackedBytes) {
          ::unlink(targetPath.constData());
          throw VentraError(QStringLiteral("Arquivo ZIP excede o limite de %1 bytes descompactados: ")
                                .arg(FMaxUnpackedBytes) +
                            FFileName);
        }
        for (zip_int64_t done = 0; done < n;) {
          const ssize_t w = ::write(fd, buffer.data() + done, size_t(n - done));
          if (w < 0 && errno == EINTR) continue;
          if (w <= 0) {
            const QString why = QString::fromLocal8Bit(strerror(errno));
            ::unlink(targetPath.constData());
            throw VentraError(QStringLiteral("Falha ao gravar ") + target + " (" + why + ")");
          }
          done += w;
        }
      }
      if (::close(closer.release()) != 0) {
        ::unlink(targetPath.constData());
        throw VentraError(QStringLiteral("Falha ao gravar ") + target);
      }
    }
    if (FEvent_OnProgress) FEvent_OnProgress(qint32(i + 1));
  }
}
