#include "ui/FrmPersonaliza.h"

#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/FrmPrincipal.h"
#include "app/ShellUi.h"

TfrmPersonaliza::TfrmPersonaliza(TfrmPrincipal &frm, QWidget *parent) : QDialog(parent), frm_(frm) {
  setWindowTitle(QStringLiteral("Personaliza"));
  resize(560, 420);
  auto *lay = new QVBoxLayout(this);
  auto *grp = new QGroupBox(QStringLiteral("Controle por CRC"), this);
  auto *g = new QVBoxLayout(grp);
  auto *buttons = new QHBoxLayout;
  btnCriaNovoCRC = new QPushButton(QStringLiteral("Criar Novo Arquivo CRC"), grp);
  btnObtemCRC = new QPushButton(QStringLiteral("Obter Arquivo CRC"), grp);
  btnGetErrosCRC = new QPushButton(QStringLiteral("Obter Erros CRC"), grp);
  buttons->addWidget(btnCriaNovoCRC);
  buttons->addWidget(btnObtemCRC);
  buttons->addWidget(btnGetErrosCRC);
  g->addLayout(buttons);
  memCRC = new QPlainTextEdit(grp);
  memCRC->setReadOnly(true);
  memCRC->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  g->addWidget(memCRC);
  lay->addWidget(grp);
  OnCriaNovoCRC = [this] { frm_.acnCriaNovoCRC(); };
  OnObterErrosCRC = [this] { frm_.acnObterErrosCRC(); };
  connect(btnCriaNovoCRC, &QPushButton::clicked, this, [this] {
    if (OnCriaNovoCRC) OnCriaNovoCRC();
  });
  connect(btnGetErrosCRC, &QPushButton::clicked, this, [this] {
    if (OnObterErrosCRC) OnObterErrosCRC();
  });
  connect(btnObtemCRC, &QPushButton::clicked, this, [this] { btnObtemCRCClick(); });
}

QString TfrmPersonaliza::PastaCRC() { return QDir::homePath() + QStringLiteral("/VentraIDE/"); }

void TfrmPersonaliza::showEvent(QShowEvent *e) {
  memCRC->clear();
  QDialog::showEvent(e);
}

void TfrmPersonaliza::btnObtemCRCClick() {
  QStringList linhas;
  const QString resultado = frm_.ObtemArquivoCRC(PastaCRC(), linhas);
  if (resultado != QStringLiteral("Obtido com sucesso")) {
    ShellUi::get().MessageBox(TMsgKind::Information, resultado);
    return;
  }
  memCRC->clear();
  for (const auto &l : linhas) memCRC->appendPlainText(l);
  ShellUi::get().MessageBox(TMsgKind::Information, resultado);
}
