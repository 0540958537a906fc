#pragma once
#include <QMainWindow>
#include <QSet>
#include <memory>

#include "app/FrmPrincipal.h"
#include "app/MainView.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QToolButton;
class TfrmBrixmontDebug;
class TfrmDebug;

// The main window: draws TfrmPrincipal's state and hands the user's clicks and keys to it.
class TfrmPrincipalWindow : public QMainWindow, public IMainView {
 public:
  explicit TfrmPrincipalWindow(QWidget *parent = nullptr);
  ~TfrmPrincipalWindow() override;

  TfrmPrincipal &Logic() { return *logic_; }
  // Creation and show of the logic; false when the program must end.
  bool Start();

  // IMainView
  void Render(const TMainScreen &s) override;
  void CriaJanelaDebug() override;
  void CriaJanelaDebugSerial() override;
  void ShowMeuVentra() override;
  void ShowPersonaliza() override;
  void OpenUrl(const QString &url) override;

  // Components the behaviour relies on.
  QTabWidget *pgcOpcoes = nullptr;
  QWidget *tbsConectar = nullptr, *tbsScanner = nullptr, *tbsMeuVentra = nullptr;
  QLabel *lblConecte = nullptr;
  QPushButton *bitScanner = nullptr, *bitMeuVentra = nullptr;
  QPushButton *bitAtualizar = nullptr, *bitCancelaAtualizacao = nullptr, *bitTermoUso = nullptr;
  QLabel *lblTipoVT = nullptr, *lblNrSerie = nullptr, *lblSP = nullptr, *lblSPValue = nullptr;
  QLabel *lblFirmware = nullptr, *lblIdioma = nullptr;
  QComboBox *cbIdioma = nullptr;
  QLabel *lblSPIDE = nullptr, *lblSPIDEValue = nullptr, *lblFirmIDE = nullptr, *lblFirmIDEValue = nullptr;
  QProgressBar *PBK21 = nullptr, *PBK22 = nullptr;
  QLabel *lblProgresso = nullptr, *lblTempo = nullptr;
  QLabel *imgPropaganda = nullptr, *imgLogoBrix = nullptr;
  QToolButton *imgNext = nullptr, *imgBack = nullptr;

 protected:
  bool eventFilter(QObject *o, QEvent *e) override;
  void closeEvent(QCloseEvent *e) override;

 private:
  QWidget *buildTopBar();
  QWidget *buildCarousel();
  QWidget *buildScannerPage();
  static void setMarked(QLabel *label, const QString &text);
  static void setBar(QProgressBar *bar, const TProgressBarState &st);

  std::unique_ptr<TfrmPrincipal> logic_;
  std::unique_ptr<TfrmBrixmontDebug> debugWindow_;
  std::unique_ptr<TfrmDebug> serialDebugWindow_;
  QString shownPicture_;
  QSet<int> heldKeys_;
  bool rightCtrlHeld_ = false;
  bool rendering_ = false;
};
