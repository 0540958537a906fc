#include "ui/FrmDownload.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TfrmDownload::TfrmDownload(bool cancelAllowed, QWidget *mainWindow) : QDialog(mainWindow) {
  setWindowTitle(QStringLiteral("Download"));
  setWindowModality(Qt::ApplicationModal);
  pnlStatus1 = new QLabel(QStringLiteral("Aguarde..."), this);
  pnlStatus1->setObjectName(QStringLiteral("pnlStatus1"));
  pnlStatus2 = new QLabel(QString(), this);
  pnlStatus2->setObjectName(QStringLiteral("pnlStatus2"));
  for (QLabel *l : {pnlStatus1, pnlStatus2}) l->setAlignment(Qt::AlignCenter);
  pgbDownload = new QProgressBar(this);
  pgbDownload->setObjectName(QStringLiteral("pgbDownload"));
  pgbDownload->setRange(0, 100);
  pgbDownload->setValue(0);
  bitCancelar = new QPushButton(QStringLiteral("Cancelar"), this);
  bitCancelar->setObjectName(QStringLiteral("bitCancelar"));
  bitCancelar->setEnabled(cancelAllowed);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(bitCancelar);
  buttons->addStretch();
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(pnlStatus1);
  layout->addWidget(pnlStatus2);
  layout->addWidget(pgbDownload);
  layout->addLayout(buttons);
  resize(460, 150);
  connect(bitCancelar, &QPushButton::clicked, this, [this] {
    if (cancel_) cancel_();
    bitCancelar->setEnabled(false);
  });

  const QRect area = mainWindow && mainWindow->isVisible()
                         ? mainWindow->frameGeometry()
                         : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                             : QRect(0, 0, 1024, 768));
  move(area.center() - rect().center());
  show();
  pump();
}

TfrmDownload::~TfrmDownload() = default;

void TfrmDownload::setStatus1(const QString &text) { pnlStatus1->setText(text); }
void TfrmDownload::setStatus2(const QString &text) { pnlStatus2->setText(text); }
void TfrmDownload::setProgress(int percent) { pgbDownload->setValue(percent); }
void TfrmDownload::onCancel(std::function<void()> handler) { cancel_ = std::move(handler); }
void TfrmDownload::pump() { QCoreApplication::processEvents(); }

void TfrmDownload::reject() {
  if (bitCancelar->isEnabled()) bitCancelar->click();
}
