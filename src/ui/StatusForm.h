#pragma once
#include <QString>
#include <QWidget>
#include <memory>

class QLabel;
class QProgressBar;

// The borderless status window: a grey frame, a white panel, one message and a (hidden) bar.
class TfmrStatusForm : public QWidget {
 public:
  TfmrStatusForm();
  QLabel *lblMensagem = nullptr;
  QProgressBar *pgbStatus = nullptr;

 protected:
  void resizeEvent(QResizeEvent *e) override;

 private:
  QWidget *panel_ = nullptr;
};

// Says what the program is doing while the user waits; one window for the whole program.
class TClassStatusForm {
 public:
  static TClassStatusForm &GetInstance();
  static void FreeInstance();
  // Shows text (replacing the previous message) without blocking and lets the window paint.
  void ShowMsg(const QString &text);
  void Close();
  TfmrStatusForm *Form() const { return form_.get(); }

 private:
  std::unique_ptr<TfmrStatusForm> form_;
};
