#include "ui/WidgetsShellUi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>

#include "app/Idiomas.h"

#include "ui/FrmDownload.h"
#include "ui/FrmMensagem.h"
#include "ui/StatusForm.h"

TMsgResult WidgetsShellUi::MessageBox(TMsgKind kind, const QString &text, TMsgButtons buttons) {
  const TDialogCaptions &cap = DialogCaptions(idioma_);
  QMessageBox box(mainWindow_);
  // the program's texts break lines with a carriage return
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  box.setText(shown);
  switch (kind) {
    case TMsgKind::Information:
      box.setIcon(QMessageBox::Information);
      box.setWindowTitle(QString::fromUtf8(cap.Information));
      break;
    case TMsgKind::Error:
      box.setIcon(QMessageBox::Critical);
      box.setWindowTitle(QString::fromUtf8(cap.Error));
      break;
    case TMsgKind::Warning:
      box.setIcon(QMessageBox::Warning);
      box.setWindowTitle(QString::fromUtf8(cap.Warning));
      break;
    case TMsgKind::Confirmation:
      box.setIcon(QMessageBox::Question);
      box.setWindowTitle(QString::fromUtf8(cap.Confirmation));
      break;
  }
  if (buttons == TMsgButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QString::fromUtf8(cap.Yes));
    box.button(QMessageBox::No)->setText(QString::fromUtf8(cap.No));
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QString::fromUtf8(cap.OK));
  }
  box.adjustSize();
  if (QScreen *s = QGuiApplication::primaryScreen())  // centred on the screen
    box.move(s->availableGeometry().center() - QPoint(box.width() / 2, box.height() / 2));
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

void WidgetsShellUi::AplicaIdioma(int idioma) {
  if (idioma >= 0 && idioma < kQtdIdiomas) idioma_ = idioma;
}

std::unique_ptr<IDownloadView> WidgetsShellUi::CreateDownloadView(bool cancelAllowed) {
  return std::make_unique<TfrmDownload>(cancelAllowed, mainWindow_);
}
