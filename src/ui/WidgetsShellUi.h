#pragma once
#include <QPointer>
#include <QWidget>

#include "app/ShellUi.h"

// The shell's interface with real windows: message boxes, the F2/F3 question window, the status
// window and the download window. The main window installs one and names itself as the parent.
class WidgetsShellUi : public IShellUi {
 public:
  explicit WidgetsShellUi(QWidget *mainWindow = nullptr) : mainWindow_(mainWindow) {}
  void setMainWindow(QWidget *mainWindow) { mainWindow_ = mainWindow; }
  QWidget *mainWindow() const { return mainWindow_; }

  TMsgResult MessageBox(TMsgKind kind, const QString &text, TMsgButtons buttons = TMsgButtons::OK) override;
  TTypeResposta ShowMessageForm(const QString &message, const QString &f2Title, const QString &f3Title, int height,
                                int width, int fontSize, bool bold, bool picture) override;
  void StatusShowMsg(const QString &text) override;
  void StatusClose() override;
  std::unique_ptr<IDownloadView> CreateDownloadView(bool cancelAllowed) override;
  // Captions and button texts of the message boxes: 0 PT, 1 ES, 2 EN.
  void AplicaIdioma(int idioma) override;
  int Idioma() const { return idioma_; }

 private:
  QPointer<QWidget> mainWindow_;
  int idioma_ = 0;
};
