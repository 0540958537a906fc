#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/Download.h"
#include "app/HttpLib.h"
#include "app/Log.h"
#include "support/ScriptedUi.h"
#include "support/ServerProcess.h"

namespace {
QByteArray randomBytes(qsizetype n) {
  QByteArray b(n, Qt::Uninitialized);
  QRandomGenerator gen(1234);
  for (qsizetype i = 0; i < n; ++i) b[i] = char(gen.bounded(256));
  return b;
}

QByteArray readFile(const QString &name) {
  QFile f(name);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

// Trace lines without their time prefix.
class TraceRecorder {
 public:
  TraceRecorder() {
    Trace::setSink([this](const QString &l) {
      EXPECT_TRUE(QRegularExpression(R"(^\d\d:\d\d:\d\d\.\d{3}: )").match(l).hasMatch()) << l.toStdString();
      lines << l.mid(14);
    });
  }
  ~TraceRecorder() { Trace::setSink({}); }
  QStringList lines;
};

QStringList gets(ServerProcess &s, const QString &name) {
  return s.received().filter(QRegularExpression("^GET /ventraide/files/" + QRegularExpression::escape(name) + "$"));
}

class DownloadTest : public ::testing::Test {
 protected:
  void startServer(QStringList args = {}) {
    server = std::make_unique<ServerProcess>(args);
    server->putFile("sp/sp7/MENU.zip", payload);
    ASSERT_TRUE(server->start());
  }
  QString local(const QString &name) const { return tmp.filePath("dl/" + name); }
  QString folder() const { return tmp.filePath("dl"); }

  QTemporaryDir tmp;
  QByteArray payload = randomBytes(300 * 1024 + 17);
  std::unique_ptr<ServerProcess> server;
};
}  // namespace

TEST(HttpLibTest, PercentRoundsHalvesToEvenAndTempNameTakesNew) {
  struct Case {
    qint64 bytes, total;
    int pct;
  };
  for (const Case &c : {Case{0, 0, 0}, Case{5, 0, 0}, Case{1, 200, 0}, Case{3, 200, 2}, Case{5, 200, 2},
                        Case{7, 200, 4}, Case{50, 100, 50}, Case{100, 100, 100}, Case{2, 3, 67}})
    EXPECT_EQ(TClassHttpLib::Porcentagem(c.bytes, c.total), c.pct) << c.bytes << "/" << c.total;
  EXPECT_EQ(TClassHttpLib::TempFileName("MENU.zip"), "MENU_new.zip");
  EXPECT_EQ(TClassHttpLib::TempFileName("a.tar.gz"), "a.tar_new.gz");
  EXPECT_EQ(TClassHttpLib::TempFileName("info"), "info_new");
}

TEST_F(DownloadTest, GetFileFetchesIntoTheNewFileAndTracesEachStep) {
  startServer();
  TraceRecorder trace;
  TClassHttpLib http;
  const QString url = server->filesUrl() + "sp/sp7/";
  ASSERT_TRUE(http.GetFile(url, folder(), "", "MENU.zip"));
  EXPECT_EQ(readFile(local("MENU.zip")), payload);
  EXPECT_FALSE(QFile::exists(local("MENU_new.zip")));
  const QString size = QString::number(payload.size());
  EXPECT_EQ(trace.lines, QStringList({"FTPFolder: " + url, "DestFolder: " + folder(), "FileNameOrigem: MENU.zip",
                                      "FileNameDestino: MENU.zip", "NewFileName: MENU_new.zip",
                                      "Diretorio não existia: " + folder(), "Obtendo tamanho do arquivo",
                                      "tamanho do arquivo: " + size, "baixando arquivo", "arquivo baixado",
                                      "conseguiu baixar", "tamanho do arquivo confere",
                                      "copiando arquivo novo com nome do velho", "copiado com sucesso"}));

  // again over an existing destination and a stale temporary file
  QFile stale(local("MENU_new.zip"));
  ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  stale.write("old");
  stale.close();
  trace.lines.clear();
  ASSERT_TRUE(http.GetFile(url, folder(), "", "MENU.zip"));
  EXPECT_TRUE(trace.lines.contains("Diretorio ja existia: " + folder()));
  EXPECT_TRUE(trace.lines.contains("Arquivo já existia (apagando): " + local("MENU_new.zip")));
  EXPECT_TRUE(trace.lines.contains("Apagando arquivo antigo"));
  EXPECT_EQ(readFile(local("MENU.zip")), payload);
  EXPECT_EQ(http.GetPorcentagemBaixada(), 100);
}

TEST_F(DownloadTest, SizeByHeadWithAndWithoutLength) {
  startServer();
  TClassHttpLib http;
  EXPECT_EQ(http.GetFileSize(server->filesUrl() + "sp/sp7/", "MENU.zip"), payload.size());
  EXPECT_EQ(http.GetFileSize(server->filesUrl() + "sp/sp7/", "NOPE.zip"), 0);
  ServerProcess noLength({"--no-length"});
  noLength.putFile("a.bin", payload);
  ASSERT_TRUE(noLength.start());
  EXPECT_EQ(http.GetFileSize(noLength.filesUrl(), "a.bin"), 0);
  // without a size a non-empty file counts as complete
  TraceRecorder trace;
  EXPECT_TRUE(http.GetFile(noLength.filesUrl(), folder(), "b.bin", "a.bin"));
  EXPECT_EQ(readFile(local("b.bin")), payload);
  EXPECT_TRUE(trace.lines.contains("falha ao obter tamanho do arquivo"));
  EXPECT_TRUE(trace.lines.contains("tamanho do arquivo: 0"));
  noLength.stop();
  EXPECT_EQ(http.GetFileSize(noLength.filesUrl(), "a.bin"), 0);  // nobody listens any more
}

TEST_F(DownloadTest, IncompleteOrMissingFileNeverReplacesTheDestination) {
  startServer({"--fault", "sp/sp7/MENU.zip=short:5000", "--fault", "gone.bin=404"});
  server->putFile("gone.bin", "x");
  QDir().mkpath(folder());
  QFile old(local("MENU.zip"));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("previous good copy");
  old.close();
  TClassHttpLib http;
  EXPECT_FALSE(http.GetFile(server->filesUrl() + "sp/sp7/", folder(), "", "MENU.zip"));
  EXPECT_EQ(readFile(local("MENU.zip")), "previous good copy");
  EXPECT_FALSE(QFile::exists(local("MENU_new.zip")));
  EXPECT_FALSE(http.GetFile(server->filesUrl(), folder(), "", "gone.bin"));
  EXPECT_FALSE(QFile::exists(local("gone.bin")));
  EXPECT_FALSE(QFile::exists(local("gone_new.bin")));
}

TEST_F(DownloadTest, DownloadWithProgressOutcomes) {
  struct Case {
    const char *name;
    QStringList args;
    bool cancel;
    QString result;
    int getRequests;
  };
  const QString failed = "Falha ao baixar arquivo: MENU.zip";
  const std::vector<Case> cases{
      {"plain", {}, false, "", 1},
      {"abort then success", {"--fault", "sp/sp7/MENU.zip=short:1000@1"}, false, "", 2},
      {"server always short", {"--fault", "sp/sp7/MENU.zip=short:1000"}, false, "Operação abortada. " + failed, 3},
      {"not found", {"--fault", "sp/sp7/MENU.zip=404"}, false, "Operação abortada. " + failed, 0},
      // the window needs the size: a server that gives none aborts every attempt
      {"no size", {"--no-length"}, false, "Operação abortada. " + failed, 0},
      {"cancelled", {"--fault", "sp/sp7/MENU.zip=slow:100"}, true, "Operação cancelada. " + failed, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    startServer(c.args);
    ScriptedUi ui;
    ui.cancelDownloads = c.cancel;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(DownloadWithProgress(server->filesUrl() + "sp/sp7/", folder(), "MENU.zip", true), c.result);
    EXPECT_LT(clock.elapsed(), 5000);  // a cancel drops the slow transfer at once
    EXPECT_EQ(gets(*server, "sp/sp7/MENU.zip").size(), c.getRequests);
    EXPECT_EQ(QFile::exists(local("MENU.zip")), c.result.isEmpty());
    EXPECT_FALSE(QFile::exists(local("MENU_new.zip")));
    if (c.result.isEmpty()) {
      EXPECT_EQ(readFile(local("MENU.zip")), payload);
      const QStringList first = ui.texts("download1");
      EXPECT_EQ(first.first(), "Aguarde...");
      EXPECT_EQ(first.last(), "Baixando arquivo MENU.zip. Aguarde...");
      EXPECT_EQ(ui.texts("download2").last(), QString::number(payload.size()) + " bytes baixados");
    }
    QFile::remove(local("MENU.zip"));
  }
}

TEST_F(DownloadTest, ProgressLinesCountBytesAgainstTheTotal) {
  startServer({"--fault", "sp/sp7/MENU.zip=slow:20"});
  ScriptedUi ui;
  ASSERT_EQ(DownloadWithProgress(server->filesUrl() + "sp/sp7/", folder(), "MENU.zip", false), "");
  const QStringList lines = ui.texts("download2");
  const QRegularExpression progress("^(\\d+) / " + QString::number(payload.size()) + " bytes baixados$");
  int matched = 0;
  for (const QString &l : lines) matched += progress.match(l).hasMatch() ? 1 : 0;
  EXPECT_GE(matched, 2) << lines.join('|').toStdString();
}

TEST_F(DownloadTest, ALocalFileAlreadyCompleteIsNotFetchedAgain) {
  startServer();
  QDir().mkpath(folder());
  QFile f(local("MENU.zip"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(payload.size(), 'x'));  // same size: taken as the file
  f.close();
  ScriptedUi ui;
  auto view = ui.CreateDownloadView(false);
  EXPECT_EQ(RunDownloadWindow(*view, server->filesUrl() + "sp/sp7/", folder(), "MENU.zip", false),
            TDownloadResult::Done);
  EXPECT_TRUE(gets(*server, "sp/sp7/MENU.zip").isEmpty());
  EXPECT_TRUE(server->requests().contains("HEAD /ventraide/files/sp/sp7/MENU.zip 200"));
}

TEST(ConnectivityTest, VerificaInternetFollowsTheProbe) {
  ServerProcess ok;
  ASSERT_TRUE(ok.start());
  ServerProcess failing({"--probe-status", "500"});
  ASSERT_TRUE(failing.start());
  qputenv("VENTRAIDE_PROBE_URL", ok.probeUrl().toUtf8());
  EXPECT_TRUE(VerificaInternet());
  qputenv("VENTRAIDE_PROBE_URL", failing.probeUrl().toUtf8());
  EXPECT_FALSE(VerificaInternet());
  const QString closed = ok.probeUrl();
  ok.stop();
  qputenv("VENTRAIDE_PROBE_URL", closed.toUtf8());
  EXPECT_FALSE(VerificaInternet());
  qunsetenv("VENTRAIDE_PROBE_URL");
}
