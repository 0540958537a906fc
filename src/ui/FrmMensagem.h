#pragma once
#include <QDialog>

#include "app/ShellUi.h"

class QLabel;
class QPushButton;
class QWidget;

// The question window: a message and two large function-key buttons, F2 and F3.
class TfrmMensagem : public QDialog {
 public:
  explicit TfrmMensagem(QWidget *parent = nullptr);

  // Shows the window modally; trF2 / trF3 for the buttons or keys, trNone when closed otherwise.
  // Without an F3 title only the F2 button is shown.
  TTypeResposta ShowMessageForm(const QString &message, const QString &f2Title, const QString &f3Title, int height,
                                int width, int fontSize, bool bold, bool picture);
  // Lays the buttons out in the button panel (also run on every resize of the panel).
  void LayoutButtons();

  TTypeResposta FBtnEscolhido = TTypeResposta::trNone;
  QLabel *lblMensagem = nullptr;
  QLabel *imgIcon = nullptr;
  QWidget *pnlBotoes = nullptr;
  QPushButton *bitF2 = nullptr;
  QPushButton *bitF3 = nullptr;

 protected:
  void keyPressEvent(QKeyEvent *e) override;
  bool eventFilter(QObject *o, QEvent *e) override;

 private:
  void answer(TTypeResposta r);
};
