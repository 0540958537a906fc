#include "ui/FrmPrincipalWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/Globais.h"
#include "app/Log.h"
#include "transport/FrameTrace.h"
#include "ui/FrameTraceWindow.h"
#include "ui/FrmBrixmontDebug.h"
#include "ui/FrmPersonaliza.h"

namespace {
const char *const kStyle = R"(
QMainWindow, #centralWidget { background: #eef1f5; }
#topBar { background: #1c2b3a; }
#topBar QPushButton { color: white; background: transparent; border: 1px solid #5d7186; border-radius: 6px;
                      padding: 8px 18px; font-size: 14px; font-weight: 600; }
#topBar QPushButton:hover { background: #2c4258; }
#imgLogoBrix { color: white; font-size: 22px; font-weight: 700; letter-spacing: 2px; }
#carousel { background: white; border-bottom: 1px solid #cfd6de; }
#imgPropaganda { color: #8593a3; font-size: 15px; }
#carousel QToolButton { border: none; font-size: 30px; color: #51616f; padding: 0 10px; }
QGroupBox { background: white; border: 1px solid #cfd6de; border-radius: 8px; margin-top: 14px;
            font-size: 14px; font-weight: 700; color: #1c2b3a; }
QGroupBox::title { subcontrol-origin: margin; left: 12px; padding: 0 6px; }
QGroupBox QLabel { font-size: 14px; font-weight: 400; color: #1c2b3a; }
QLabel[role="caption"] { color: #5b6b7b; }
QLabel[role="value"] { font-weight: 600; }
QLabel[mark="ok"] { color: #1b7f3b; font-weight: 700; }
QLabel[mark="old"] { color: #c0392b; font-weight: 700; }
QLabel[mark="bad"] { color: #d0021b; font-weight: 700; }
#lblConecte { font-size: 20px; color: #1c2b3a; }
#bitAtualizar, #bitCancelaAtualizacao { font-size: 15px; font-weight: 700; border-radius: 6px; padding: 10px 24px; }
#bitAtualizar { background: #1f6fb2; color: white; }
#bitAtualizar:disabled { background: #a9b8c6; }
#bitCancelaAtualizacao { background: #c0392b; color: white; }
QProgressBar { border: 1px solid #b8c3ce; border-radius: 5px; background: #f6f8fa; height: 22px;
               text-align: center; font-weight: 600; }
QProgressBar::chunk { border-radius: 4px; background: #2e86de; }
QProgressBar[level="1"]::chunk { background: #f39c12; }
QProgressBar[level="2"]::chunk { background: #27ae60; }
QTabWidget::pane { border: none; }
)";

QLabel *caption(const QString &text, QWidget *parent) {
  auto *l = new QLabel(text, parent);
  l->setProperty("role", "caption");
  return l;
}
QLabel *value(QWidget *parent) {
  auto *l = new QLabel(parent);
  l->setProperty("role", "value");
  l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return l;
}
void repolish(QWidget *w) {
  w->style()->unpolish(w);
  w->style()->polish(w);
}

}  // namespace

TfrmPrincipalWindow::TfrmPrincipalWindow(QWidget *parent) : QMainWindow(parent) {
  setObjectName("frmPrincipal");
  setStyleSheet(QString::fromLatin1(kStyle));
  resize(1100, 700);
  setMinimumSize(900, 600);
  auto *central = new QWidget(this);
  central->setObjectName("centralWidget");
  auto *lay = new QVBoxLayout(central);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->setSpacing(0);
  lay->addWidget(buildTopBar());
  lay->addWidget(buildCarousel());

  pgcOpcoes = new QTabWidget(central);
  pgcOpcoes->setTabPosition(QTabWidget::South);
  pgcOpcoes->tabBar()->setVisible(false);  // the top-bar buttons switch pages
  tbsConectar = new QWidget;
  auto *cl = new QVBoxLayout(tbsConectar);
  lblConecte = new QLabel(tbsConectar);
  lblConecte->setObjectName("lblConecte");
  lblConecte->setWordWrap(true);
  lblConecte->setAlignment(Qt::AlignCenter);
  cl->addStretch();
  cl->addWidget(lblConecte);
  cl->addStretch();
  tbsScanner = buildScannerPage();
  tbsMeuVentra = new QWidget;
  pgcOpcoes->addTab(tbsConectar, QStringLiteral("Conectar"));
  pgcOpcoes->addTab(tbsScanner, QStringLiteral("Scanner"));
  pgcOpcoes->addTab(tbsMeuVentra, QStringLiteral("Meu Ventra"));
  lay->addWidget(pgcOpcoes, 1);
  setCentralWidget(central);

  logic_ = std::make_unique<TfrmPrincipal>(this);
  connect(logic_.get(), &TfrmPrincipal::EncerrarAplicacao, this, &QWidget::close);

  // function keys work whatever child has the focus
  for (int key : {Qt::Key_F2, Qt::Key_F5, Qt::Key_F6, Qt::Key_F8}) {
    auto *sc = new QShortcut(QKeySequence(key), this);
    sc->setContext(Qt::WindowShortcut);
    connect(sc, &QShortcut::activated, this, [this, key] { logic_->KeyDown(key); });
  }
  connect(bitScanner, &QPushButton::clicked, this, [this] { logic_->acBtnScanner(); });
  connect(bitMeuVentra, &QPushButton::clicked, this, [this] { logic_->acBtnMeuVentra(); });
  connect(bitAtualizar, &QPushButton::clicked, this, [this] { logic_->acBtnAtualizar(); });
  connect(bitCancelaAtualizacao, &QPushButton::clicked, this, [this] { logic_->acCancelaAtualizacao(); });
  connect(bitTermoUso, &QPushButton::clicked, this, [this] { logic_->acnTermoUso(); });
  connect(cbIdioma, QOverload<int>::of(&QComboBox::activated), this, [this](int i) { logic_->cbIdiomaSelect(i); });
  connect(imgNext, &QToolButton::clicked, this, [this] { logic_->imgNextClick(); });
  connect(imgBack, &QToolButton::clicked, this, [this] { logic_->imgBackClick(); });
  imgPropaganda->installEventFilter(this);
  imgLogoBrix->installEventFilter(this);
  qApp->installEventFilter(this);  // the held keys of the logo's service functions
}

TfrmPrincipalWindow::~TfrmPrincipalWindow() {
  qApp->removeEventFilter(this);
  logic_.reset();
  if (serialDebugWindow_) FrameTrace::setSink(nullptr);
}

bool TfrmPrincipalWindow::Start() {
  logic_->FormCreate();
  if (QScreen *scr = QGuiApplication::primaryScreen()) {
    const QRect r = scr->availableGeometry();
    resize(std::min(width(), r.width()), std::min(height(), r.height()));
    move(r.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  return logic_->FormShow();
}

QWidget *TfrmPrincipalWindow::buildTopBar() {
  auto *bar = new QFrame;
  bar->setObjectName("topBar");
  bar->setFixedHeight(64);
  auto *l = new QHBoxLayout(bar);
  l->setContentsMargins(20, 8, 20, 8);
  imgLogoBrix = new QLabel(QStringLiteral("VENTRA IDE"), bar);
  imgLogoBrix->setObjectName("imgLogoBrix");
  imgLogoBrix->setCursor(Qt::PointingHandCursor);
  l->addWidget(imgLogoBrix);
  l->addStretch();
  bitScanner = new QPushButton(QStringLiteral("F2 - Scanner"), bar);
  bitMeuVentra = new QPushButton(QStringLiteral("F5 - Meu Ventra"), bar);
  l->addWidget(bitScanner);
  l->addWidget(bitMeuVentra);
  return bar;
}

QWidget *TfrmPrincipalWindow::buildCarousel() {
  auto *box = new QFrame;
  box->setObjectName("carousel");
  box->setFixedHeight(220);
  auto *l = new QHBoxLayout(box);
  l->setContentsMargins(8, 8, 8, 8);
  imgBack = new QToolButton(box);
  imgBack->setText(QStringLiteral("‹"));
  imgNext = new QToolButton(box);
  imgNext->setText(QStringLiteral("›"));
  imgPropaganda = new QLabel(box);
  imgPropaganda->setObjectName("imgPropaganda");
  imgPropaganda->setAlignment(Qt::AlignCenter);
  imgPropaganda->setCursor(Qt::PointingHandCursor);
  imgPropaganda->setMinimumSize(200, 120);
  imgPropaganda->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  l->addWidget(imgBack);
  l->addWidget(imgPropaganda, 1);
  l->addWidget(imgNext);
  imgBack->setVisible(false);
  imgNext->setVisible(false);
  return box;
}

QWidget *TfrmPrincipalWindow::buildScannerPage() {
  auto *page = new QWidget;
  auto *l = new QHBoxLayout(page);
  l->setContentsMargins(20, 12, 20, 16);
  l->setSpacing(16);

  auto *grpScanner = new QGroupBox(QStringLiteral("Scanner"), page);
  auto *g = new QGridLayout(grpScanner);
  g->setContentsMargins(16, 24, 16, 14);
  g->setVerticalSpacing(10);
  g->setColumnStretch(1, 1);
  lblTipoVT = value(grpScanner);
  lblTipoVT->setStyleSheet("font-size: 18px; font-weight: 700;");
  lblNrSerie = value(grpScanner);
  lblSP = caption(QStringLiteral("Service Pack:"), grpScanner);
  lblSPValue = value(grpScanner);
  lblFirmware = value(grpScanner);
  lblIdioma = caption(QStringLiteral("Idioma:"), grpScanner);
  cbIdioma = new QComboBox(grpScanner);
  cbIdioma->addItems({QStringLiteral("PT"), QStringLiteral("ES"), QStringLiteral("EN")});
  cbIdioma->setFixedWidth(90);
  bitTermoUso = new QPushButton(QStringLiteral("F8 - Termo de uso"), grpScanner);
  g->addWidget(caption(QStringLiteral("Modelo:"), grpScanner), 0, 0);
  g->addWidget(lblTipoVT, 0, 1);
  g->addWidget(caption(QStringLiteral("Número de série:"), grpScanner), 1, 0);
  g->addWidget(lblNrSerie, 1, 1);
  g->addWidget(lblSP, 2, 0);
  g->addWidget(lblSPValue, 2, 1);
  g->addWidget(caption(QStringLiteral("Firmware:"), grpScanner), 3, 0);
  g->addWidget(lblFirmware, 3, 1);
  g->addWidget(lblIdioma, 4, 0);
  g->addWidget(cbIdioma, 4, 1, Qt::AlignLeft);
  g->setRowStretch(5, 1);
  g->addWidget(bitTermoUso, 6, 0, 1, 2, Qt::AlignLeft);

  auto *grpIde = new QGroupBox(QStringLiteral("Atualização disponível neste IDE"), page);
  auto *u = new QGridLayout(grpIde);
  u->setContentsMargins(16, 24, 16, 14);
  u->setVerticalSpacing(10);
  u->setColumnStretch(1, 1);
  lblSPIDE = caption(QStringLiteral("Service Pack:"), grpIde);
  lblSPIDEValue = value(grpIde);
  lblFirmIDE = caption(QStringLiteral("Firmware:"), grpIde);
  lblFirmIDEValue = value(grpIde);
  bitAtualizar = new QPushButton(QStringLiteral("F6 - Atualizar"), grpIde);
  bitAtualizar->setObjectName("bitAtualizar");
  bitCancelaAtualizacao = new QPushButton(QStringLiteral("F6 - Cancelar"), grpIde);
  bitCancelaAtualizacao->setObjectName("bitCancelaAtualizacao");
  lblProgresso = new QLabel(grpIde);
  lblProgresso->setWordWrap(true);
  PBK21 = new QProgressBar(grpIde);
  PBK22 = new QProgressBar(grpIde);
  lblTempo = new QLabel(grpIde);
  lblTempo->setProperty("role", "caption");
  u->addWidget(lblSPIDE, 0, 0);
  u->addWidget(lblSPIDEValue, 0, 1);
  u->addWidget(lblFirmIDE, 1, 0);
  u->addWidget(lblFirmIDEValue, 1, 1);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(bitAtualizar);
  buttons->addWidget(bitCancelaAtualizacao);
  buttons->addStretch();
  u->addLayout(buttons, 2, 0, 1, 2);
  u->addWidget(lblProgresso, 3, 0, 1, 2);
  u->addWidget(caption(QStringLiteral("Arquivos:"), grpIde), 4, 0);
  u->addWidget(PBK21, 4, 1);
  u->addWidget(caption(QStringLiteral("Arquivo atual:"), grpIde), 5, 0);
  u->addWidget(PBK22, 5, 1);
  u->addWidget(lblTempo, 6, 0, 1, 2);
  u->setRowStretch(7, 1);

  l->addWidget(grpScanner, 1);
  l->addWidget(grpIde, 1);
  return page;
}

void TfrmPrincipalWindow::setMarked(QLabel *label, const QString &text) {
  label->setText(text);
  const char *mark = text.endsWith(QStringLiteral(" (atualizado)"))      ? "ok"
                     : text.endsWith(QStringLiteral(" (desatualizado)")) ? "old"
                                                                          : "";
  if (label->property("mark").toString() != QLatin1String(mark)) {
    label->setProperty("mark", QString::fromLatin1(mark));
    repolish(label);
  }
}

void TfrmPrincipalWindow::setBar(QProgressBar *bar, const TProgressBarState &st) {
  const int max = std::max(st.Max, st.Min);
  bar->setRange(st.Min, max);
  bar->setValue(std::clamp(st.Position, st.Min, max));
  bar->setTextVisible(st.ShowPercentage);
  bar->setFormat(QStringLiteral("%p%"));
  // colour levels at 70 % and 90 %
  const int pct = st.Percent();
  const int level = pct >= 90 ? 2 : (pct >= 70 ? 1 : 0);
  if (bar->property("level").toInt() != level) {
    bar->setProperty("level", level);
    repolish(bar);
  }
}

void TfrmPrincipalWindow::Render(const TMainScreen &s) {
  rendering_ = true;
  if (!s.Caption.isEmpty()) setWindowTitle(s.Caption);
  lblConecte->setText(s.lblConecte);
  pgcOpcoes->setTabVisible(0, s.tbsConectarVisible);
  pgcOpcoes->setTabVisible(1, s.tbsScannerVisible);
  pgcOpcoes->setTabVisible(2, s.tbsMeuVentraVisible);
  QWidget *active = s.ActivePage == TPaginaPrincipal::tbsScanner     ? tbsScanner
                    : s.ActivePage == TPaginaPrincipal::tbsMeuVentra ? tbsMeuVentra
                                                                     : tbsConectar;
  pgcOpcoes->setCurrentWidget(active);
  bitScanner->setVisible(s.bitScannerVisible);
  bitMeuVentra->setVisible(s.bitMeuVentraVisible);
  bitAtualizar->setVisible(s.bitAtualizarVisible);
  bitAtualizar->setEnabled(s.bitAtualizarEnabled);
  bitCancelaAtualizacao->setVisible(s.bitCancelaAtualizacaoVisible);
  bitTermoUso->setVisible(s.bitTermoUsoVisible);

  lblTipoVT->setText(s.lblTipoVT);
  if (lblTipoVT->property("mark").toString() != (s.lblTipoVTInvalido ? "bad" : "")) {
    lblTipoVT->setProperty("mark", s.lblTipoVTInvalido ? "bad" : "");
    repolish(lblTipoVT);
  }
  lblNrSerie->setText(s.NrSerie);
  lblSP->setText(s.lblSP);
  setMarked(lblSPValue, s.ServicePack);
  setMarked(lblFirmware, s.Firmware);
  lblIdioma->setVisible(s.IdiomaVisible);
  cbIdioma->setVisible(s.IdiomaVisible);
  cbIdioma->setCurrentIndex(s.cbIdiomaIndex);  // -1: no selection, empty text
  lblSPIDE->setText(s.lblSPIDE);
  lblSPIDEValue->setText(s.SPIDEValue);
  lblFirmIDEValue->setText(s.FirmIDEValue);
  setBar(PBK21, s.PBK21);
  setBar(PBK22, s.PBK22);
  lblProgresso->setText(s.ProgressoTexto);
  lblTempo->setText(s.TempoDecorrido);

  imgBack->setVisible(s.SetasVisiveis);
  imgNext->setVisible(s.SetasVisiveis);
  if (s.imgPropaganda != shownPicture_) {
    shownPicture_ = s.imgPropaganda;
    QPixmap pm;
    if (!shownPicture_.isEmpty() && pm.load(shownPicture_)) {
      imgPropaganda->setPixmap(pm.scaled(imgPropaganda->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    } else {
      imgPropaganda->clear();  // a picture that does not decode is not shown
    }
  }
  rendering_ = false;
}

void TfrmPrincipalWindow::CriaJanelaDebug() {
  if (debugWindow_) return;
  debugWindow_ = std::make_unique<TfrmBrixmontDebug>();
  debugWindow_->InstallAsTraceSink();
  const QRect scr = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                     : QRect(0, 0, 1366, 768);
  // top right corner of the screen
  debugWindow_->ShowDebug(400, 400, scr.right() + 1 - 400, scr.top());
}

void TfrmPrincipalWindow::CriaJanelaDebugSerial() {
  if (serialDebugWindow_) return;
  serialDebugWindow_ = std::make_unique<TfrmDebug>();
  FrameTrace::setSink(serialDebugWindow_.get());
  const QRect scr = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                     : QRect(0, 0, 1366, 768);
  serialDebugWindow_->ShowDebug(400, 400, scr.top() + 400, scr.right() - 400);
}

void TfrmPrincipalWindow::ShowMeuVentra() {
  // the workshop profile window joins with the registration work
}

void TfrmPrincipalWindow::ShowPersonaliza() {
  TfrmPersonaliza dlg(*logic_, this);
  dlg.exec();
}

void TfrmPrincipalWindow::OpenUrl(const QString &url) {
  if (!url.isEmpty()) QDesktopServices::openUrl(QUrl(url));
}

bool TfrmPrincipalWindow::eventFilter(QObject *o, QEvent *e) {
  if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
    auto *k = static_cast<QKeyEvent *>(e);
    if (!k->isAutoRepeat()) {
      const bool down = e->type() == QEvent::KeyPress;
      if (down) heldKeys_.insert(k->key());
      else heldKeys_.remove(k->key());
      // X11 keycode 105 is the right Ctrl; elsewhere any Ctrl counts
      if (k->key() == Qt::Key_Control && (k->nativeScanCode() == 105 || k->nativeScanCode() == 0))
        rightCtrlHeld_ = down;
    }
  } else if (e->type() == QEvent::MouseButtonRelease) {
    if (o == imgLogoBrix) {
      logic_->imgLogoBrixClick(rightCtrlHeld_, heldKeys_.contains(Qt::Key_R), heldKeys_.contains(Qt::Key_F));
      return true;
    }
    if (o == imgPropaganda) {
      logic_->imgPropagandaClick();
      return true;
    }
  }
  return QMainWindow::eventFilter(o, e);
}

void TfrmPrincipalWindow::closeEvent(QCloseEvent *e) {
  logic_->FormClose();
  debugWindow_.reset();
  QMainWindow::closeEvent(e);
}
