#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "app/Download.h"
#include "app/Log.h"
#include "support/ServerProcess.h"
#include "ui/FrmBrixmontDebug.h"
#include "ui/FrmDownload.h"
#include "ui/WidgetsShellUi.h"

namespace {
QApplication &app() {
  static int argc = 1;
  static char name[] = "test_ui";
  static char *argv[] = {name, nullptr};
  if (auto *a = qobject_cast<QApplication *>(QCoreApplication::instance())) return *a;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  return *new QApplication(argc, argv);
}

TfrmDownload *openDownloadWindow() {
  for (QWidget *w : QApplication::topLevelWidgets())
    if (auto *d = dynamic_cast<TfrmDownload *>(w); d && d->isVisible()) return d;
  return nullptr;
}
}  // namespace

TEST(DownloadWindowTest, ShowsProgressAndEndsAtTheTotal) {
  app();
  ServerProcess server({"--fault", "a.bin=slow:10"});
  server.putFile("a.bin", QByteArray(200 * 1024, 'a'));
  ASSERT_TRUE(server.start());
  QTemporaryDir tmp;
  TfrmDownload window(false);
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.bitCancelar->isEnabled());
  EXPECT_EQ(window.pnlStatus1->text(), "Aguarde...");
  int lastSeen = -1;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] { lastSeen = window.pgbDownload->value(); });
  watch.start(5);
  EXPECT_EQ(RunDownloadWindow(window, server.filesUrl(), tmp.path(), "a.bin", false), TDownloadResult::Done);
  EXPECT_GE(lastSeen, 0);  // the window's own messages ran during the transfer
  EXPECT_EQ(window.pgbDownload->value(), 100);
  EXPECT_EQ(window.pnlStatus1->text(), "Baixando arquivo a.bin. Aguarde...");
  EXPECT_EQ(window.pnlStatus2->text(), "204800 bytes baixados");
}

TEST(DownloadWindowTest, CancelarDropsTheTransfer) {
  app();
  // 2 MiB at 200 ms per 16 KiB would take about 25 s
  ServerProcess server({"--fault", "big.bin=slow:200"});
  server.putFile("big.bin", QByteArray(2 * 1024 * 1024, 'b'));
  ASSERT_TRUE(server.start());
  QTemporaryDir tmp;
  WidgetsShellUi ui;
  ShellUi::install(&ui);
  bool clicked = false;
  QTimer clicker;
  QObject::connect(&clicker, &QTimer::timeout, [&] {
    TfrmDownload *w = openDownloadWindow();
    if (!w || clicked || w->pnlStatus2->text().isEmpty()) return;
    clicked = true;
    w->bitCancelar->click();
  });
  clicker.start(20);
  QElapsedTimer clock;
  clock.start();
  const QString result = DownloadWithProgress(server.filesUrl(), tmp.path(), "big.bin", true);
  ShellUi::install(nullptr);
  EXPECT_TRUE(clicked);
  EXPECT_EQ(result, "Operação cancelada. Falha ao baixar arquivo: big.bin");
  EXPECT_LT(clock.elapsed(), 5000);
  EXPECT_FALSE(QFile::exists(tmp.filePath("big.bin")));
  EXPECT_FALSE(QFile::exists(tmp.filePath("big_new.bin")));
  EXPECT_EQ(openDownloadWindow(), nullptr);  // the window closed with its transfer
}

TEST(TraceWindowTest, ReceivesTraceLinesAndClears) {
  app();
  {
    TfrmBrixmontDebug w;
    EXPECT_EQ(w.windowTitle(), "Debug");
    EXPECT_TRUE(w.memDebug->isReadOnly());
    EXPECT_EQ(w.memDebug->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(w.memDebug->toPlainText().isEmpty());
    w.ShowDebug(400, 400, 100, 0);
    EXPECT_EQ(w.size(), QSize(400, 400));
    w.InstallAsTraceSink();
    EscreveTrace("03 - Login");
    w.EscreveList({"a", "b"});
    const QStringList lines = w.memDebug->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].endsWith(": 03 - Login"));
    EXPECT_EQ(lines[2], "b");
    w.EscreveDebug("");
    EXPECT_TRUE(w.memDebug->toPlainText().isEmpty());
    w.EscreveDebug("x");
    w.btnClear->click();
    EXPECT_TRUE(w.memDebug->toPlainText().isEmpty());
  }
  EXPECT_FALSE(Trace::hasSink());  // a destroyed window is no longer written to
}
