#include "app/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <memory>
#include <optional>

#include "app/VentraError.h"

namespace {
std::unique_ptr<TClass_Log> g_log;
Trace::Sink g_sink;

QString unixPath(QString p) { return p.replace(QLatin1Char('\\'), QLatin1Char('/')); }
}  // namespace

TClass_Log &TClass_Log::GetInstance() {
  if (!g_log) g_log = std::make_unique<TClass_Log>();
  return *g_log;
}

void TClass_Log::FreeInstance() { g_log.reset(); }

void TClass_Log::Inicializa(const QString &ExePath, const QString &LogDir, const QString &LogFileName,
                            const QString &LogExt) {
  pFullPathAndFileName = unixPath(ExePath + LogDir + LogFileName + LogExt);
  pListaLog.clear();
  pBomEncoding.reset();

  const QString dir = unixPath(ExePath + LogDir);
  if (!dir.isEmpty() && !QFileInfo(dir).isDir() && !QDir().mkdir(dir))
    throw VentraError(QStringLiteral("Falha ao criar diretório do Log."));

  try {
    QFile f(pFullPathAndFileName);
    if (f.exists()) {
      if (!f.open(QIODevice::ReadOnly)) throw VentraError(f.errorString());
      const QByteArray data = f.readAll();
      QString text;
      if (const auto enc = QStringConverter::encodingForData(data)) {
        pBomEncoding = *enc;
        QStringDecoder dec(*enc, QStringConverter::Flag::ConvertInitialBom);
        text = dec(data);
        if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
      } else {
        text = QString::fromUtf8(data);
      }
      text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
      text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
      pListaLog = text.split(QLatin1Char('\n'));
      if (!pListaLog.isEmpty() && pListaLog.last().isEmpty()) pListaLog.removeLast();
    }
    if (!pListaLog.isEmpty()) {
      const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy_MM_dd__HH_mm_ss"));
      const QString base = unixPath(ExePath + LogDir + LogFileName + QLatin1Char('_') + stamp);
      QString backup = base + LogExt;
      // two starts within one second must not overwrite the earlier backup
      for (int n = 2; QFileInfo::exists(backup); ++n) backup = base + QLatin1Char('_') + QString::number(n) + LogExt;
      writeFile(backup, pListaLog);
      pListaLog.clear();
      SaveLog(QStringLiteral("Backup: ") + backup);
    }
  } catch (const std::exception &e) {
    const QString cause = dynamic_cast<const VentraError *>(&e) ? static_cast<const VentraError &>(e).text()
                                                                 : QString::fromLocal8Bit(e.what());
    throw VentraError(QStringLiteral("Falha ao ler arquivo de log: ") + cause);
  }
}

void TClass_Log::SaveLog(const QString &LogInfo) {
  const QString now = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
  try {
    pListaLog.append(now + QStringLiteral(": ") + LogInfo);
  } catch (const std::exception &e) {
    pListaLog.append(now + QStringLiteral(": Erro ") + QString::fromLocal8Bit(e.what()));
  }
  writeFile(pFullPathAndFileName, pListaLog);
}

void TClass_Log::writeFile(const QString &fileName, const QStringList &lines) const {
  QString text;
  for (const QString &l : lines) {
    text += l;
    text += QLatin1String("\r\n");
  }
  QByteArray data;
  if (pBomEncoding) {
    QStringEncoder enc(*pBomEncoding, QStringConverter::Flag::WriteBom);
    data = enc(text);
  } else {
    data = text.toUtf8();
  }
  QSaveFile f(fileName);
  if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit())
    throw VentraError(QStringLiteral("Falha ao gravar arquivo de log: ") + fileName + " (" + f.errorString() + ")");
}

void EscreveTrace(const QString &texto) {
  if (!g_sink) return;
  g_sink(Trace::timeStamp() + QStringLiteral(": ") + texto);
}

namespace Trace {
void setSink(Sink sink) { g_sink = std::move(sink); }
bool hasSink() { return static_cast<bool>(g_sink); }
QString timeStamp() { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")); }
}  // namespace Trace
