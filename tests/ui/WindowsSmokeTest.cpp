// The real windows under the offscreen platform: built, drawn from the core's state and driven
// by keys and clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include "app/Carrossel.h"
#include "app/ConfLocal.h"
#include "app/Globais.h"
#include "app/Log.h"
#include "protocol/VentraLib.h"
#include "support/ScriptedUi.h"
#include "support/ServerProcess.h"
#include "support/SimProcess.h"
#include "ui/FrmMensagem.h"
#include "ui/FrmPersonaliza.h"
#include "ui/FrmPrincipalWindow.h"
#include "ui/StatusForm.h"
#include "ui/WidgetsShellUi.h"

namespace {
void keyClick(QWidget *w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QApplication::sendEvent(w, &release);
}

QApplication &App() {
  static int argc = 1;
  static char name[] = "ventra-ui-tests";
  static char *argv[] = {name, nullptr};
  static QApplication *app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

bool PumpUntil(const std::function<bool()> &pred, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > timeoutMs) return pred();
    QApplication::processEvents();
    QThread::msleep(2);
  }
  return true;
}

TEST(FrmMensagem, TwoButtonsCentredAsAPairAndTheKeysAnswer) {
  App();
  TfrmMensagem frm;
  QTimer::singleShot(50, &frm, [&] { keyClick(&frm, Qt::Key_F3); });
  EXPECT_EQ(frm.ShowMessageForm("Continuar?", "Sim", "Não", 250, 600, 12, true, false), TTypeResposta::trF3);
  EXPECT_EQ(frm.bitF2->text(), "F2 - Sim");
  EXPECT_EQ(frm.bitF3->text(), "F3 - Não");
  EXPECT_TRUE(frm.lblMensagem->font().bold());
  EXPECT_FALSE(frm.imgIcon->isVisibleTo(&frm));
  const int w = frm.pnlBotoes->width();
  EXPECT_EQ(frm.bitF2->width(), 160);
  EXPECT_EQ(frm.bitF2->height(), 50);
  EXPECT_EQ(frm.bitF3->x() - (frm.bitF2->x() + 160), 20);
  EXPECT_NEAR(frm.bitF2->x(), w - (frm.bitF3->x() + 160), 1);

  QTimer::singleShot(50, &frm, [&] { keyClick(&frm, Qt::Key_F2); });
  EXPECT_EQ(frm.ShowMessageForm("Ok?", "Continuar", "", 200, 500, 10, false, true), TTypeResposta::trF2);
  EXPECT_FALSE(frm.bitF3->isVisibleTo(&frm));
  EXPECT_TRUE(frm.imgIcon->isVisibleTo(&frm));
  EXPECT_NEAR(frm.bitF2->x(), (frm.pnlBotoes->width() - 160) / 2, 1);

  QTimer::singleShot(50, &frm, [&] { frm.reject(); });
  EXPECT_EQ(frm.ShowMessageForm("x", "A", "B", 200, 500, 10, false, false), TTypeResposta::trNone);
  QTimer::singleShot(50, &frm, [&] { frm.bitF2->click(); });
  EXPECT_EQ(frm.ShowMessageForm("x", "A", "B", 200, 500, 10, false, false), TTypeResposta::trF2);
}

TEST(WidgetsShellUi, MessageBoxesTakeTheCaptionsOfTheLanguage) {
  App();
  WidgetsShellUi shell;
  struct Case {
    int idioma;
    TMsgKind kind;
    TMsgButtons buttons;
    const char *title;
    QStringList buttonTexts;
  };
  const Case cases[] = {
      {0, TMsgKind::Information, TMsgButtons::OK, "Informação", {"OK"}},
      {1, TMsgKind::Confirmation, TMsgButtons::YesNo, "Confirmar", {"&Sí", "&No"}},
      {2, TMsgKind::Warning, TMsgButtons::YesNo, "Warning", {"&Yes", "&No"}},
      {0, TMsgKind::Error, TMsgButtons::YesNo, "Erro", {"&Sim", "&Não"}},
      {9, TMsgKind::Error, TMsgButtons::OK, "Erro", {"OK"}},  // an unknown language keeps the last one
  };
  for (const auto &c : cases) {
    shell.AplicaIdioma(c.idioma);
    QString title, text;
    QStringList texts;
    QTimer::singleShot(50, [&] {
      auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      ASSERT_TRUE(box);
      title = box->windowTitle();
      text = box->text();
      for (auto *b : box->buttons()) texts << b->text();
      box->button(c.buttons == TMsgButtons::YesNo ? QMessageBox::Yes : QMessageBox::Ok)->click();
    });
    const TMsgResult r = shell.MessageBox(c.kind, "linha 1\rlinha 2", c.buttons);
    EXPECT_EQ(r, c.buttons == TMsgButtons::YesNo ? TMsgResult::Yes : TMsgResult::OK);
    EXPECT_EQ(title, QString::fromUtf8(c.title));
    EXPECT_EQ(text, "linha 1\nlinha 2");
    for (const auto &b : c.buttonTexts) EXPECT_TRUE(texts.contains(b)) << b.toStdString();
  }
}

TEST(StatusForm, ShowsReplacesAndCloses) {
  App();
  auto &st = TClassStatusForm::GetInstance();
  st.ShowMsg("Localizando equipamento. Aguarde...");
  auto *f = st.Form();
  ASSERT_TRUE(f);
  EXPECT_TRUE(f->isVisible());
  EXPECT_EQ(f->lblMensagem->text(), "Localizando equipamento. Aguarde...");
  EXPECT_EQ(f->lblMensagem->font().pixelSize(), 19);
  EXPECT_FALSE(f->pgbStatus->isVisible());
  EXPECT_EQ(f->width(), f->lblMensagem->width() + 100);
  EXPECT_EQ(f->height(), f->lblMensagem->height() + 60);
  EXPECT_EQ(f->lblMensagem->pos(), QPoint(40, 20));
  st.ShowMsg("Apagando arquivos desnecessários. Aguarde...");
  EXPECT_EQ(st.Form(), f);  // the same window
  EXPECT_EQ(f->lblMensagem->text(), "Apagando arquivos desnecessários. Aguarde...");
  st.Close();
  EXPECT_FALSE(f->isVisible());
  TClassStatusForm::FreeInstance();
  TClassStatusForm::GetInstance().Close();  // closing before any message is harmless
  TClassStatusForm::FreeInstance();
}

class MainWindowTest : public ::testing::Test {
 protected:
  QTemporaryDir tmp;
  QString home, devices, oldCwd;
  ServerProcess srv;
  std::unique_ptr<ScriptedUi> ui;

  void SetUp() override {
    App();
    home = tmp.filePath("home") + "/";
    devices = tmp.filePath("devices");
    for (const auto &d : {home, devices}) QDir().mkpath(d);
    ASSERT_TRUE(srv.start());
    qputenv("VENTRAIDE_HOME", home.toLocal8Bit());
    qputenv("VENTRAIDE_DEVICES", devices.toLocal8Bit());
    qputenv("VENTRAIDE_DOWNLOAD_URL", srv.filesUrl().toUtf8());
    oldCwd = QDir::currentPath();
    QDir::setCurrent(home);
    srv.putFile("fw/oficial/info_fw.json", R"({"servicePack":40,"fw_v5":"518"})");
    srv.putFile("fw/oficial/FileCrcControl.json", "[]");
    srv.putFile("sp/sp40/FileCrcControl.json", "[]");
    Globais::IndiceIdioma = 0;
    ui = std::make_unique<ScriptedUi>();
  }
  void TearDown() override {
    ui.reset();
    TClass_VentraLib::FreeInstance();
    TClassConfLocal::FreeInstance();
    TClass_Carrossel::FreeInstance();
    Trace::setSink({});
    QDir::setCurrent(oldCwd);
    for (const char *v : {"VENTRAIDE_HOME", "VENTRAIDE_DEVICES", "VENTRAIDE_DOWNLOAD_URL"}) qunsetenv(v);
  }
  static void write(const QString &path, const QByteArray &text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
  }
};

TEST_F(MainWindowTest, DrawsTheCoreStateWithMarksAndBars) {
  TfrmPrincipalWindow w;
  w.resize(1366, 768);
  w.show();
  TMainScreen s;
  s.Caption = "Ventra IDE v2.0.0.0 Linux";
  s.tbsConectarVisible = false;
  s.tbsScannerVisible = true;
  s.ActivePage = TPaginaPrincipal::tbsScanner;
  s.bitScannerVisible = true;
  s.bitAtualizarVisible = true;
  s.bitAtualizarEnabled = true;
  s.lblTipoVT = "Ventra V5";
  s.NrSerie = "512345";
  s.ServicePack = "39 (desatualizado)";
  s.Firmware = "0518 (atualizado)";
  s.SPIDEValue = "40";
  s.FirmIDEValue = "518";
  s.cbIdiomaIndex = 2;
  s.PBK21 = {0, 100, 75, true};
  s.PBK22 = {0, 4096, 1024, true};
  s.ProgressoTexto = "Arquivo 3 de 4";
  w.Render(s);
  EXPECT_EQ(w.windowTitle(), "Ventra IDE v2.0.0.0 Linux");
  EXPECT_EQ(w.pgcOpcoes->currentWidget(), w.tbsScanner);
  EXPECT_TRUE(w.bitScanner->isVisible());
  EXPECT_FALSE(w.bitMeuVentra->isVisible());
  EXPECT_TRUE(w.bitAtualizar->isVisible() && w.bitAtualizar->isEnabled());
  EXPECT_FALSE(w.bitCancelaAtualizacao->isVisible());
  EXPECT_EQ(w.lblTipoVT->text(), "Ventra V5");
  EXPECT_EQ(w.lblSPValue->property("mark").toString(), "old");
  EXPECT_EQ(w.lblFirmware->property("mark").toString(), "ok");
  EXPECT_EQ(w.cbIdioma->currentText(), "EN");
  EXPECT_EQ(w.PBK21->value(), 75);
  EXPECT_EQ(w.PBK21->property("level").toInt(), 1);  // 70 % level
  EXPECT_TRUE(w.PBK21->isTextVisible());
  EXPECT_EQ(w.PBK22->text(), "25%");
  EXPECT_EQ(w.lblProgresso->text(), "Arquivo 3 de 4");
  s.cbIdiomaIndex = -1;
  s.lblTipoVT = "Tipo inválido 16  (contacte suporte técnico)";
  s.lblTipoVTInvalido = true;
  s.bitAtualizarVisible = false;
  s.bitCancelaAtualizacaoVisible = true;
  s.PBK21.Position = 95;
  w.Render(s);
  EXPECT_TRUE(w.cbIdioma->currentText().isEmpty());
  EXPECT_EQ(w.lblTipoVT->property("mark").toString(), "bad");
  EXPECT_FALSE(w.bitAtualizar->isVisible());
  EXPECT_TRUE(w.bitCancelaAtualizacao->isVisible());
  EXPECT_EQ(w.PBK21->property("level").toInt(), 2);
  // everything fits a 1366x768 screen
  EXPECT_LE(w.minimumSizeHint().width(), 1366);
  EXPECT_LE(w.minimumSizeHint().height(), 768);
}

TEST_F(MainWindowTest, StartsFindsTheSimulatedScannerAndShowsIt) {
  write(home + "debug.txt", "");
  SimProcess sim({"--serial", "512345", "--type", "10", "--sp", "40", "--firmware", "0x0512"}, devices);
  ASSERT_TRUE(sim.start());
  TfrmPrincipalWindow w;
  w.resize(1366, 768);
  ASSERT_TRUE(w.Start());
  ASSERT_TRUE(PumpUntil([&] { return w.bitAtualizar->isVisible() && w.bitAtualizar->isEnabled(); }, 20000));
  EXPECT_EQ(w.pgcOpcoes->currentWidget(), w.tbsScanner);
  EXPECT_EQ(w.lblTipoVT->text(), "Ventra V5");
  EXPECT_EQ(w.lblNrSerie->text(), "512345");
  EXPECT_EQ(w.lblSPValue->text(), "40 (atualizado)");
  EXPECT_EQ(w.lblFirmware->text(), "0518 (atualizado)");
  EXPECT_EQ(w.lblSPIDEValue->text(), "40");
  EXPECT_TRUE(w.windowTitle().startsWith("Ventra IDE v"));
  // the trace window exists because of debug.txt and received the steps
  EXPECT_TRUE(Trace::hasSink());
  const QImage shot = w.grab().toImage();
  EXPECT_FALSE(shot.isNull());
  if (const QByteArray out = qgetenv("VENTRA_SCREENSHOT"); !out.isEmpty()) shot.save(QString::fromLocal8Bit(out));

  // pulling the cable brings the connect page back
  ASSERT_TRUE(sim.pull());
  ASSERT_TRUE(PumpUntil([&] { return w.pgcOpcoes->currentWidget() == w.tbsConectar; }, 5000));
  EXPECT_TRUE(w.lblNrSerie->text().isEmpty());
  EXPECT_FALSE(w.bitAtualizar->isVisible());
  w.close();
}

TEST_F(MainWindowTest, ServiceWindowBindsItsActionsAndEmptiesTheList) {
  TfrmPrincipalWindow w;
  TfrmPersonaliza p(w.Logic(), &w);
  EXPECT_TRUE(bool(p.OnCriaNovoCRC));
  EXPECT_TRUE(bool(p.OnObterErrosCRC));
  p.memCRC->setPlainText("old");
  p.show();
  EXPECT_TRUE(p.memCRC->toPlainText().isEmpty());
  EXPECT_EQ(p.btnCriaNovoCRC->text(), "Criar Novo Arquivo CRC");
  EXPECT_EQ(p.btnObtemCRC->text(), "Obter Arquivo CRC");
  EXPECT_EQ(p.btnGetErrosCRC->text(), "Obter Erros CRC");
  // no scanner: the copy fails and says why
  p.btnObtemCRC->click();
  ASSERT_EQ(ui->texts("info").size(), 1);
  EXPECT_FALSE(ui->texts("info").value(0).isEmpty());
  EXPECT_NE(ui->texts("info").value(0), "Obtido com sucesso");
  p.close();
}
}  // namespace
