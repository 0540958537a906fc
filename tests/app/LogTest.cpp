#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/Log.h"
#include "app/VentraError.h"

namespace {
QByteArray readFile(const QString &name) {
  QFile f(name);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

QStringList backups(const QString &dir) {
  return QDir(dir).entryList({"info_*.log"}, QDir::Files, QDir::Name);
}
}  // namespace

TEST(LogTest, FirstRunCreatesTheFolderAndWritesCrLfLines) {
  QTemporaryDir tmp;
  const QString exe = tmp.path() + "/";
  TClass_Log log;
  log.Inicializa(exe, "log\\", "info", ".log");  // the Windows-style folder name still works
  EXPECT_TRUE(QDir(exe + "log").exists());
  EXPECT_FALSE(QFile::exists(exe + "log/info.log"));  // nothing until the first line
  log.SaveLog("primeira");
  log.SaveLog(QString::fromUtf8("segunda ção"));
  const QByteArray text = readFile(exe + "log/info.log");
  EXPECT_TRUE(QRegularExpression(R"(^\d\d:\d\d:\d\d: primeira\r\n\d\d:\d\d:\d\d: segunda ção\r\n$)")
                  .match(QString::fromUtf8(text))
                  .hasMatch())
      << text.toStdString();
  EXPECT_TRUE(backups(exe + "log").isEmpty());
}

TEST(LogTest, NextRunKeepsThePreviousFileUnderATimeStampedName) {
  QTemporaryDir tmp;
  const QString exe = tmp.path() + "/";
  {
    TClass_Log log;
    log.Inicializa(exe, "log/", "info", ".log");
    log.SaveLog("run one");
  }
  const QByteArray first = readFile(exe + "log/info.log");
  TClass_Log log;
  log.Inicializa(exe, "log/", "info", ".log");
  const QStringList b = backups(exe + "log");
  ASSERT_EQ(b.size(), 1);
  EXPECT_TRUE(QRegularExpression(R"(^info_\d{4}_\d\d_\d\d__\d\d_\d\d_\d\d\.log$)").match(b[0]).hasMatch()) << b[0].toStdString();
  EXPECT_EQ(readFile(exe + "log/" + b[0]), first);
  ASSERT_EQ(log.Lines().size(), 1);
  EXPECT_TRUE(log.Lines()[0].endsWith(": Backup: " + exe + "log/" + b[0]));
  EXPECT_EQ(readFile(exe + "log/info.log"), (log.Lines()[0] + "\r\n").toUtf8());

  // a third start within the same second keeps both earlier backups
  TClass_Log third;
  third.Inicializa(exe, "log/", "info", ".log");
  EXPECT_GE(backups(exe + "log").size(), 2);
}

TEST(LogTest, EmptyLogIsNotBackedUpAndBomFilesKeepTheirEncoding) {
  QTemporaryDir tmp;
  const QString exe = tmp.path() + "/";
  QDir().mkdir(exe + "log");
  QFile(exe + "log/info.log").open(QIODevice::WriteOnly);
  TClass_Log log;
  log.Inicializa(exe, "log/", "info", ".log");
  EXPECT_TRUE(backups(exe + "log").isEmpty());
  EXPECT_TRUE(log.Lines().isEmpty());

  QFile f(exe + "log/info.log");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write("\xEF\xBB\xBFlinha antiga\r\n");
  f.close();
  TClass_Log again;
  again.Inicializa(exe, "log/", "info", ".log");
  const QStringList b = backups(exe + "log");
  ASSERT_EQ(b.size(), 1);
  EXPECT_EQ(readFile(exe + "log/" + b[0]), "\xEF\xBB\xBFlinha antiga\r\n");
  EXPECT_TRUE(readFile(exe + "log/info.log").startsWith("\xEF\xBB\xBF"));
}

TEST(LogTest, FolderThatCannotBeCreatedRaises) {
  QTemporaryDir tmp;
  TClass_Log log;
  try {
    log.Inicializa(tmp.path() + "/", "missing/log/", "info", ".log");  // one level only
    FAIL();
  } catch (const VentraError &e) {
    EXPECT_EQ(e.text(), "Falha ao criar diretório do Log.");
  }
  // the log path is a folder: reading it fails with the described prefix
  QDir().mkpath(tmp.path() + "/log/info.log");
  try {
    log.Inicializa(tmp.path() + "/", "log/", "info", ".log");
    FAIL();
  } catch (const VentraError &e) {
    EXPECT_TRUE(e.text().startsWith("Falha ao ler arquivo de log: ")) << e.text().toStdString();
  }
}

TEST(TraceTest, EscreveTraceWritesTimeStampedLinesToTheSink) {
  EscreveTrace("nobody listens");  // no sink: nothing happens
  QStringList got;
  Trace::setSink([&](const QString &l) { got << l; });
  EscreveTrace("00 - CheckConfLocal");
  Trace::setSink({});
  EscreveTrace("after");
  ASSERT_EQ(got.size(), 1);
  EXPECT_TRUE(QRegularExpression(R"(^\d\d:\d\d:\d\d\.\d{3}: 00 - CheckConfLocal$)").match(got[0]).hasMatch())
      << got[0].toStdString();
  EXPECT_FALSE(Trace::hasSink());
}
