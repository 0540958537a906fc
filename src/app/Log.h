#pragma once
#include <QString>
#include <QStringList>
#include <QStringConverter>
#include <functional>
#include <optional>

// The application log file, rotated at every start: the previous run's file is kept under a
// time-stamped name and the new file starts with a "Backup: " line.
class TClass_Log {
 public:
  TClass_Log() = default;
  static TClass_Log &GetInstance();
  static void FreeInstance();

  // Opens ExePath + LogDir + LogFileName + LogExt (names joined as given; "\" counts as "/").
  // Raises "Falha ao criar diretório do Log." or "Falha ao ler arquivo de log: <cause>".
  void Inicializa(const QString &ExePath, const QString &LogDir, const QString &LogFileName, const QString &LogExt);
  // Appends one line ("hh:mm:ss: text") and rewrites the file; write errors are raised.
  void SaveLog(const QString &LogInfo);

  const QString &FileName() const { return pFullPathAndFileName; }
  const QStringList &Lines() const { return pListaLog; }

 private:
  void writeFile(const QString &fileName, const QStringList &lines) const;

  QString pFullPathAndFileName;
  QStringList pListaLog;
  // encoding of a loaded file that began with a byte-order mark; UTF-8 without one otherwise
  std::optional<QStringConverter::Encoding> pBomEncoding;
};

// The shell's trace function: "hh:mm:ss.zzz: " + text to the installed sink (the trace window
// when "debug.txt" exists, a recorder in tests); nothing when no sink is installed.
void EscreveTrace(const QString &texto);

namespace Trace {
using Sink = std::function<void(const QString &line)>;
void setSink(Sink sink);  // an empty function removes the sink
bool hasSink();
QString timeStamp();  // local time as hh:mm:ss.zzz
}  // namespace Trace
