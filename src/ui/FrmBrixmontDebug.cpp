#include "ui/FrmBrixmontDebug.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Log.h"

TfrmBrixmontDebug::TfrmBrixmontDebug(QWidget *parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Debug"));
  resize(635, 299);
  memDebug = new QPlainTextEdit(this);
  memDebug->setObjectName(QStringLiteral("memDebug"));
  memDebug->setReadOnly(true);
  memDebug->setLineWrapMode(QPlainTextEdit::NoWrap);
  memDebug->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto *panel = new QWidget(this);
  panel->setFixedHeight(40);
  btnClear = new QPushButton(QStringLiteral("Clear"), panel);
  btnClear->setObjectName(QStringLiteral("btnClear"));
  auto *panelLayout = new QHBoxLayout(panel);
  panelLayout->setContentsMargins(8, 4, 8, 4);
  panelLayout->addWidget(btnClear);
  panelLayout->addStretch();
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(memDebug);
  layout->addWidget(panel);
  connect(btnClear, &QPushButton::clicked, memDebug, &QPlainTextEdit::clear);
}

TfrmBrixmontDebug::~TfrmBrixmontDebug() {
  if (isSink_) Trace::setSink({});
}

void TfrmBrixmontDebug::ShowDebug(int Width, int Height, int Left, int Top) {
  resize(Width, Height);
  move(Left, Top);
  show();
}

void TfrmBrixmontDebug::EscreveDebug(const QString &Texto) {
  if (Texto.isEmpty())
    memDebug->clear();
  else
    memDebug->appendPlainText(Texto);
}

void TfrmBrixmontDebug::EscreveList(const QStringList &lista) {
  for (const QString &line : lista) memDebug->appendPlainText(line);
}

void TfrmBrixmontDebug::InstallAsTraceSink() {
  Trace::setSink([this](const QString &line) { EscreveDebug(line); });
  isSink_ = true;
}
