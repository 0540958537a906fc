#include "ui/FrmMensagem.h"

#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace {
constexpr int kBtnW = 160;
constexpr int kBtnH = 50;
constexpr int kGap = 20;
}  // namespace

TfrmMensagem::TfrmMensagem(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName("frmMensagem");
  setModal(true);
  setStyleSheet("#frmMensagem { background: #8a8f96; }"
                "#pnlMensagem { background: white; border-radius: 4px; }"
                "QPushButton { font-size: 15px; font-weight: 600; border-radius: 6px; padding: 4px;"
                "  background: #1f6fb2; color: white; }"
                "QPushButton:focus { border: 2px solid #0b3d66; }");
  auto *outer = new QVBoxLayout(this);
  outer->setContentsMargins(6, 6, 6, 6);
  outer->setSpacing(6);
  auto *panel = new QFrame(this);
  panel->setObjectName("pnlMensagem");
  auto *pl = new QHBoxLayout(panel);
  pl->setContentsMargins(20, 16, 20, 16);
  imgIcon = new QLabel(panel);
  imgIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(48, 48));
  imgIcon->setVisible(false);
  pl->addWidget(imgIcon, 0, Qt::AlignTop);
  lblMensagem = new QLabel(panel);
  lblMensagem->setWordWrap(true);
  lblMensagem->setAlignment(Qt::AlignCenter);
  pl->addWidget(lblMensagem, 1);
  outer->addWidget(panel, 1);
  pnlBotoes = new QWidget(this);
  pnlBotoes->setFixedHeight(kBtnH + 16);
  pnlBotoes->installEventFilter(this);
  bitF2 = new QPushButton(pnlBotoes);
  bitF3 = new QPushButton(pnlBotoes);
  bitF2->resize(kBtnW, kBtnH);
  bitF3->resize(kBtnW, kBtnH);
  outer->addWidget(pnlBotoes);
  connect(bitF2, &QPushButton::clicked, this, [this] { answer(TTypeResposta::trF2); });
  connect(bitF3, &QPushButton::clicked, this, [this] { answer(TTypeResposta::trF3); });
}

TTypeResposta TfrmMensagem::ShowMessageForm(const QString &message, const QString &f2Title, const QString &f3Title,
                                            int height, int width, int fontSize, bool bold, bool picture) {
  imgIcon->setVisible(picture);
  FBtnEscolhido = TTypeResposta::trNone;
  QString text = message;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
  lblMensagem->setText(text);
  QFont f = lblMensagem->font();
  f.setPointSize(fontSize > 0 ? fontSize : 12);
  f.setBold(bold);
  lblMensagem->setFont(f);
  bitF2->setText(QStringLiteral("F2 - ") + f2Title);
  bitF3->setText(QStringLiteral("F3 - ") + f3Title);
  resize(width, height);
  LayoutButtons();
  if (QScreen *s = QGuiApplication::primaryScreen())
    move(s->availableGeometry().center() - QPoint(this->width() / 2, this->height() / 2));
  exec();
  return FBtnEscolhido;
}

void TfrmMensagem::LayoutButtons() {
  const int w = pnlBotoes->width();
  const int y = (pnlBotoes->height() - kBtnH) / 2;
  if (bitF3->text().size() > 5) {  // an F3 title was passed
    const int left = (w - (2 * kBtnW + kGap)) / 2;
    bitF2->move(left, y);
    bitF3->move(left + kBtnW + kGap, y);
    bitF3->setVisible(true);
  } else {
    bitF2->move((w - kBtnW) / 2, y);
    bitF3->setVisible(false);
  }
  bitF2->setVisible(true);
}

bool TfrmMensagem::eventFilter(QObject *o, QEvent *e) {
  if (o == pnlBotoes && e->type() == QEvent::Resize) LayoutButtons();
  return QDialog::eventFilter(o, e);
}

void TfrmMensagem::keyPressEvent(QKeyEvent *e) {
  if (e->key() == Qt::Key_F2) {
    answer(TTypeResposta::trF2);
  } else if (e->key() == Qt::Key_F3 && bitF3->isVisible()) {
    answer(TTypeResposta::trF3);
  } else {
    QDialog::keyPressEvent(e);
  }
}

void TfrmMensagem::answer(TTypeResposta r) {
  FBtnEscolhido = r;
  accept();
}
