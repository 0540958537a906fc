#include "ui/WidgetsShellUi.h"

#include <QApplication>
#include <QMessageBox>

#include "ui/FrmDownload.h"
#include "ui/FrmMensagem.h"
#include "ui/StatusForm.h"

TMsgResult WidgetsShellUi::MessageBox(TMsgKind kind, const QString &text, TMsgButtons buttons) {
  QMessageBox box(mainWindow_);
  box.setText(text);
  box.setWindowTitle(QApplication::applicationDisplayName());
  switch (kind) {
    case TMsgKind::Information: box.setIcon(QMessageBox::Information); break;
    case TMsgKind::Error: box.setIcon(QMessageBox::Critical); break;
    case TMsgKind::Warning: box.setIcon(QMessageBox::Warning); break;
    case TMsgKind::Confirmation: box.setIcon(QMessageBox::Question); break;
  }
  if (buttons == TMsgButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int r = box.exec();
  if (buttons == TMsgButtons::OK) return TMsgResult::OK;
  return r == QMessageBox::Yes ? TMsgResult::Yes : TMsgResult::No;
}

TTypeResposta WidgetsShellUi::ShowMessageForm(const QString &message, const QString &f2Title, const QString &f3Title,
                                              int height, int width, int fontSize, bool bold, bool picture) {
  TfrmMensagem form(mainWindow_);
  return form.ShowMessageForm(message, f2Title, f3Title, height, width, fontSize, bold, picture);
}

void WidgetsShellUi::StatusShowMsg(const QString &text) { TClassStatusForm::GetInstance().ShowMsg(text); }

void WidgetsShellUi::StatusClose() { TClassStatusForm::GetInstance().Close(); }

std::unique_ptr<IDownloadView> WidgetsShellUi::CreateDownloadView(bool cancelAllowed) {
  return std::make_unique<TfrmDownload>(cancelAllowed, mainWindow_);
}
