#include "logs/ArchiveHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/VentraError.h"
#include "logs/ZipHandle.h"

namespace {
QString joined(const QString &pasta, const QString &name) {
  return pasta.endsWith(QLatin1Char('/')) ? pasta + name : pasta + QLatin1Char('/') + name;
}

qint64 sizeOf(const QString &path, const QString &shownName) {
  const QFileInfo info(path);
  if (!info.exists() || info.isDir()) throw VentraError(QStringLiteral("Arquivo não encontrado: ") + shownName);
  return info.size();
}
}  // namespace

void ApagarArquivosPasta(const QString &pasta) {
  if (pasta.isEmpty())
    throw VentraError(QStringLiteral("Pasta não passada como parâmetro.\rSystem.FilesLib.ApagarArquivosPasta"));
  QDir dir(pasta);
  if (!QFileInfo(pasta).isDir()) throw VentraError(QStringLiteral("Diretório não existe: \r") + pasta);
  const QFileInfoList subFolders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
  if (!subFolders.isEmpty()) {
    for (const QFileInfo &sub : subFolders) QDir(sub.absoluteFilePath()).removeRecursively();
    return;
  }
  // files, and links of any kind (a link to a folder is removed, its target left alone)
  for (const QFileInfo &f : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
    if (f.isSymLink() || !f.isDir()) QFile::remove(f.absoluteFilePath());
  }
}

qint64 TamanhoArquivoPasta(const QString &pasta, const QString &fileName) {
  return sizeOf(joined(pasta, fileName), fileName);
}

qint64 TamanhoArquivo(const QString &fileName) { return sizeOf(fileName, fileName); }

void CompactarPasta(const QString &pasta, const QString &nomeArquivo) {
  if (pasta.isEmpty() || nomeArquivo.isEmpty()) return;
  // the list comes first, so the new archive never packs itself
  QStringList files;
  for (const QFileInfo &f : QDir(pasta).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name)) {
    if (f.fileName() != nomeArquivo) files << f.fileName();
  }
  const QString archive = joined(pasta, nomeArquivo);
  int err = 0;
  ZipArchive zip(zip_open(QFile::encodeName(archive).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err));
  if (!zip) {
    zip_error_t ze;
    zip_error_init_with_code(&ze, err);
    const QString why = QString::fromUtf8(zip_error_strerror(&ze));
    zip_error_fini(&ze);
    throw VentraError(QStringLiteral("Falha ao criar arquivo ZIP: ") + archive + " (" + why + ")");
  }
  auto fail = [&](const QString &what) {
    throw VentraError(QStringLiteral("Falha ao compactar ") + what + ": " +
                      QString::fromUtf8(zip_strerror(zip.get())));
  };
  for (const QString &name : files) {
    const QString path = joined(pasta, name);
    if (!QFileInfo::exists(path)) continue;  // vanished since the listing
    zip_source_t *src = zip_source_file(zip.get(), QFile::encodeName(path).constData(), 0, 0);
    if (!src) fail(path);
    const QByteArray utf8 = name.toUtf8();
    const zip_int64_t idx = zip_file_add(zip.get(), utf8.constData(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (idx < 0) {
      zip_source_free(src);
      fail(path);
    }
    if (zip_set_file_compression(zip.get(), zip_uint64_t(idx), ZIP_CM_DEFLATE, 0) != 0) fail(path);
  }
  if (zip_close(zip.get()) != 0) fail(archive);
  zip.release();  // zip_close freed it
}
