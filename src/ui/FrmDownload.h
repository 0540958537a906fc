#pragma once
#include <QDialog>
#include <functional>

#include "app/ShellUi.h"

class QLabel;
class QProgressBar;
class QPushButton;

// The download window of one transfer, driven by the core (RunDownloadWindow). It shows itself
// modally on creation, centred on the main window once that is visible, else on the screen.
class TfrmDownload : public QDialog, public IDownloadView {
 public:
  TfrmDownload(bool cancelAllowed, QWidget *mainWindow = nullptr);
  ~TfrmDownload() override;

  void setStatus1(const QString &text) override;
  void setStatus2(const QString &text) override;
  void setProgress(int percent) override;
  void onCancel(std::function<void()> handler) override;
  void pump() override;

  QLabel *pnlStatus1 = nullptr;
  QLabel *pnlStatus2 = nullptr;
  QProgressBar *pgbDownload = nullptr;
  QPushButton *bitCancelar = nullptr;

 protected:
  void reject() override;  // Esc and the close box do not end the work behind the window's back

 private:
  std::function<void()> cancel_;
};
