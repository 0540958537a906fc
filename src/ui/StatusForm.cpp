#include "ui/StatusForm.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QThread>

namespace {
std::unique_ptr<TClassStatusForm> &slot() {
  static std::unique_ptr<TClassStatusForm> inst;
  return inst;
}
}  // namespace

TfmrStatusForm::TfmrStatusForm() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName("fmrStatusForm");
  setStyleSheet("#fmrStatusForm { background: #8a8f96; }"
                "#pnlStatus { background: white; border-radius: 4px; }");
  // placed by hand: the window takes its size from the message
  panel_ = new QFrame(this);
  panel_->setObjectName("pnlStatus");
  lblMensagem = new QLabel(this);
  lblMensagem->setObjectName("lblMensagem");
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(19);
  lblMensagem->setFont(f);
  pgbStatus = new QProgressBar(this);
  pgbStatus->setVisible(false);
}

void TfmrStatusForm::resizeEvent(QResizeEvent *e) {
  panel_->setGeometry(rect().adjusted(4, 4, -4, -4));
  QWidget::resizeEvent(e);
}

TClassStatusForm &TClassStatusForm::GetInstance() {
  if (!slot()) slot() = std::make_unique<TClassStatusForm>();
  return *slot();
}

void TClassStatusForm::FreeInstance() { slot().reset(); }

void TClassStatusForm::ShowMsg(const QString &text) {
  if (!form_) form_ = std::make_unique<TfmrStatusForm>();
  auto *lbl = form_->lblMensagem;
  lbl->setText(text);
  lbl->adjustSize();
  form_->pgbStatus->setVisible(false);
  form_->resize(lbl->width() + 100, lbl->height() + 60);
  lbl->move(40, 20);
  if (QScreen *s = QGuiApplication::primaryScreen()) {
    const QRect r = s->availableGeometry();
    form_->move(r.center() - QPoint(form_->width() / 2, form_->height() / 2));
  }
  form_->show();
  form_->raise();
  QCoreApplication::processEvents();
  QThread::msleep(1);
}

void TClassStatusForm::Close() {
  if (form_) form_->hide();
}
