#pragma once
#include <QDialog>
#include <functional>

class QPlainTextEdit;
class QPushButton;
class TfrmPrincipal;

// The service window: CRC control of the connected scanner.
class TfrmPersonaliza : public QDialog {
 public:
  TfrmPersonaliza(TfrmPrincipal &frm, QWidget *parent = nullptr);

  // Raised only when assigned; the main window binds them to its service actions.
  std::function<void()> OnCriaNovoCRC;
  std::function<void()> OnObterErrosCRC;

  QPushButton *btnCriaNovoCRC = nullptr;
  QPushButton *btnObtemCRC = nullptr;
  QPushButton *btnGetErrosCRC = nullptr;
  QPlainTextEdit *memCRC = nullptr;
  // Folder the scanner's CRC control file is copied into.
  static QString PastaCRC();

 protected:
  void showEvent(QShowEvent *e) override;

 private:
  void btnObtemCRCClick();
  TfrmPrincipal &frm_;
};
