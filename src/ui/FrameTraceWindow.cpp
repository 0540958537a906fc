#include "ui/FrameTraceWindow.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

TfrmDebug::TfrmDebug(QWidget *parent) : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("frmDebug"));
  resize(662, 564);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setReadOnly(true);
  Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setMaximumBlockCount(20000);  // a long session must not grow without bound
  Button1 = new QPushButton(QStringLiteral("Clear"), this);
  Edit1 = new QLineEdit(this);
  Edit2 = new QLineEdit(this);
  auto *grid = new QGridLayout(this);
  grid->addWidget(Memo1, 0, 0, 1, 5);
  grid->addWidget(Button1, 1, 0);
  grid->addWidget(new QLabel(QStringLiteral("IN"), this), 1, 1, Qt::AlignRight);
  grid->addWidget(Edit1, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("OUT"), this), 1, 3, Qt::AlignRight);
  grid->addWidget(Edit2, 1, 4);
  grid->setRowStretch(0, 1);
  connect(Button1, &QPushButton::clicked, Memo1, &QPlainTextEdit::clear);
  FrameTrace::setSink(this);
}

TfrmDebug::~TfrmDebug() {
  if (FrameTrace::sink() == this) FrameTrace::setSink(nullptr);
}

void TfrmDebug::ShowDebug(int width, int height, int top, int left) {
  setGeometry(left, top, width, height);
  show();
}

void TfrmDebug::append(const QString &line) { Memo1->appendPlainText(line); }

void TfrmDebug::AddInLine(const QString &s) {
  if (FrameTrace::isFiltered(s, Edit1->text())) return;
  append(FrameTrace::timeStamp() + " <<< " + s);
}

void TfrmDebug::AddOutLine(const QString &s) {
  if (FrameTrace::isFiltered(s, Edit2->text())) return;
  append(FrameTrace::timeStamp() + " >>> " + s);
}

void TfrmDebug::AddLine(const QString &s) {
  if (Memo1) append(FrameTrace::timeStamp() + " ::: " + s);
}
