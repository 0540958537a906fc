#pragma once
#include <QString>
#include <functional>
#include <memory>

// Everything the workflows need from a person goes through this interface: the Widgets program
// implements it with real windows, tests with a scripted fake (tests/support/ScriptedUi.h).
enum class TMsgKind { Information, Error, Warning, Confirmation };
enum class TMsgButtons { OK, YesNo };
enum class TMsgResult { None, OK, Yes, No };
enum class TTypeResposta { trNone, trF2, trF3 };

// The download window while one transfer runs. The core drives it; a click on "Cancelar"
// calls the handler installed with onCancel.
class IDownloadView {
 public:
  virtual ~IDownloadView() = default;
  virtual void setStatus1(const QString &text) = 0;
  virtual void setStatus2(const QString &text) = 0;
  virtual void setProgress(int percent) = 0;  // 0..100
  virtual void onCancel(std::function<void()> handler) = 0;
  // Lets pending window messages run (repaint, the cancel click).
  virtual void pump() = 0;
};

class IShellUi {
 public:
  virtual ~IShellUi() = default;
  // Standard message box with the captions of the current language.
  virtual TMsgResult MessageBox(TMsgKind kind, const QString &text, TMsgButtons buttons = TMsgButtons::OK) = 0;
  // The F2/F3 question window; an empty f3Title shows the F2 button alone.
  virtual TTypeResposta ShowMessageForm(const QString &message, const QString &f2Title, const QString &f3Title,
                                        int height = 250, int width = 600, int fontSize = 12, bool bold = false,
                                        bool picture = false) = 0;
  // The borderless status window (TClassStatusForm).
  virtual void StatusShowMsg(const QString &text) = 0;
  virtual void StatusClose() = 0;
  // A download window for one transfer; destroyed when the transfer ends.
  virtual std::unique_ptr<IDownloadView> CreateDownloadView(bool cancelAllowed) = 0;
  // Language of the standard dialogs' captions and buttons: 0 PT, 1 ES, 2 EN (Idiomas.h).
  virtual void AplicaIdioma(int idioma) { (void)idioma; }
};

namespace ShellUi {
// The installed interface; a silent default (answers OK / No / trNone) when none is installed.
IShellUi &get();
void install(IShellUi *ui);  // nullptr restores the silent default
}  // namespace ShellUi
