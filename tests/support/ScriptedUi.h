#pragma once
#include <QString>
#include <QStringList>
#include <deque>

#include "app/ShellUi.h"

// Records what the workflows show and answers from a script; installs itself while alive.
class ScriptedUi : public IShellUi {
 public:
  struct Shown {
    QString what;  // "info", "error", "warning", "confirm", "form", "status", "download1", "download2"
    QString text;
  };

  ScriptedUi() { ShellUi::install(this); }
  ~ScriptedUi() override { ShellUi::install(nullptr); }

  std::deque<TMsgResult> boxAnswers;      // taken in order; default OK / No
  std::deque<TTypeResposta> formAnswers;  // default trNone
  bool cancelDownloads = false;           // click "Cancelar" on the first progress
  std::vector<Shown> shown;

  TMsgResult MessageBox(TMsgKind kind, const QString &text, TMsgButtons buttons) override;
  TTypeResposta ShowMessageForm(const QString &message, const QString &f2Title, const QString &f3Title, int, int,
                                int, bool, bool) override;
  void StatusShowMsg(const QString &text) override { shown.push_back({"status", text}); }
  void StatusClose() override { ++statusCloses; }
  int statusCloses = 0;
  void AplicaIdioma(int idioma) override { idiomas.push_back(idioma); }
  std::vector<int> idiomas;  // every language applied to the dialogs
  std::unique_ptr<IDownloadView> CreateDownloadView(bool cancelAllowed) override;

  QStringList texts(const QString &what) const;
};
