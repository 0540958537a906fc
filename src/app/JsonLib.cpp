#include "app/JsonLib.h"

#include <QFile>
#include <QFileInfo>
#include <QVariant>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "app/VentraError.h"

namespace {
std::function<void(const QString &)> g_beforeReplace;

QByteArray readWhole(const QString &fileName) {
  QFile f(fileName);
  if (!f.exists()) throw VentraError(QStringLiteral("Arquivo não encotrado: \r") + fileName);
  if (!f.open(QIODevice::ReadOnly))
    throw VentraError(QStringLiteral("Falha ao ler arquivo: ") + fileName + " (" + f.errorString() + ")");
  return f.readAll();
}

std::optional<nlohmann::ordered_json> parse(QByteArray text) {
  if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
  nlohmann::ordered_json j = nlohmann::ordered_json::parse(text.constData(), text.constData() + text.size(), nullptr,
                                                           /*allow_exceptions=*/false);
  if (j.is_discarded()) return std::nullopt;
  return j;
}

void writeAll(int fd, const std::string &data, const QString &tempName) {
  const char *p = data.data();
  size_t left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw VentraError(QStringLiteral("Falha ao gravar arquivo: ") + tempName + " (" + strerror(errno) + ")");
    p += n;
    left -= size_t(n);
  }
}
}  // namespace

std::optional<nlohmann::ordered_json> TJsonLib::LoadFileToJsonValue(const QString &fileName) {
  return parse(readWhole(fileName));
}

std::optional<nlohmann::ordered_json> TJsonLib::LoadFileToJson(const QString &fileName) {
  auto j = parse(readWhole(fileName));
  if (!j) return std::nullopt;
  if (!j->is_object()) throw VentraError(QStringLiteral("Tipo JSON inválido (esperado objeto): ") + fileName);
  return j;
}

std::optional<nlohmann::ordered_json> TJsonLib::LoadFileToJsonArray(const QString &fileName) {
  auto j = parse(readWhole(fileName));
  if (!j || !j->is_array()) return std::nullopt;
  return j;
}

void TJsonLib::SaveJsonToFile(const nlohmann::ordered_json &json, const QString &fileName) {
  const std::string text = json.dump();
  const QString tempName = fileName + QStringLiteral(".tmp");
  const QByteArray tempPath = QFile::encodeName(tempName);
  const int fd = ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw VentraError(QStringLiteral("Falha ao gravar arquivo: ") + tempName + " (" + strerror(errno) + ")");
  try {
    writeAll(fd, text, tempName);
    // the data must be on disk before the rename makes it the file
    if (::fsync(fd) != 0)
      throw VentraError(QStringLiteral("Falha ao gravar arquivo: ") + tempName + " (" + strerror(errno) + ")");
  } catch (...) {
    ::close(fd);
    ::unlink(tempPath.constData());
    throw;
  }
  ::close(fd);
  if (g_beforeReplace) g_beforeReplace(tempName);
  if (::rename(tempPath.constData(), QFile::encodeName(fileName).constData()) != 0) {
    const QString why = QString::fromLocal8Bit(strerror(errno));
    ::unlink(tempPath.constData());
    throw VentraError(QStringLiteral("Falha ao gravar arquivo: ") + fileName + " (" + why + ")");
  }
  // the rename itself must survive a power cut too
  const QByteArray folder = QFile::encodeName(QFileInfo(fileName).absolutePath());
  const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

QString TJsonLib::TrocaCharEspecToJson(const QString &text) {
  QString s = text;
  s.replace(QLatin1Char(':'), QLatin1String("%3A"));
  s.replace(QLatin1Char('/'), QLatin1String("%2F"));
  s.replace(QLatin1Char(' '), QLatin1String("%20"));
  s.replace(QLatin1Char('.'), QLatin1String("%2E"));
  s.replace(QLatin1Char('\\'), QLatin1String("%5C"));
  return s;
}

void TJsonLib::TrocaCharEspecToJson(QObject &object, const QStringList &properties) {
  for (const QString &name : properties) {
    if (name.isEmpty()) break;
    const QByteArray key = name.toLatin1();
    const QVariant v = object.property(key.constData());
    if (!v.isValid()) continue;
    object.setProperty(key.constData(), TrocaCharEspecToJson(v.toString()));
  }
}

void TJsonLib::TrocaCharEspecToJson(const std::vector<QString *> &fields) {
  for (QString *f : fields) {
    if (!f) break;
    *f = TrocaCharEspecToJson(*f);
  }
}

void TJsonLib::SetBeforeReplaceHook(std::function<void(const QString &)> hook) { g_beforeReplace = std::move(hook); }
