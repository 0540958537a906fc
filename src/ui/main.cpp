// VentraIDE: one instance per user, the main window and its message loop.
#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>

#include "app/Carrossel.h"
#include "app/ConfLocal.h"
#include "app/Globais.h"
#include "app/Log.h"
#include "protocol/VentraLib.h"
#include "ui/FrmPrincipalWindow.h"
#include "ui/StatusForm.h"
#include "ui/WidgetsShellUi.h"

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VentraIDE"));

  QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (runtime.isEmpty()) runtime = QDir::tempPath();
  QDir().mkpath(runtime);
  // a lock left by a crashed instance is taken over: QLockFile checks the owner's process
  QLockFile instancia(QDir(runtime).filePath(QStringLiteral("VentraIDE_AppMutexName.lock")));
  if (!instancia.tryLock(0)) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Atenção"), QStringLiteral("O aplicativo já está em execução."));
    box.exec();
    return 0;
  }
  Globais::FormPrincipalExibido = false;
  if (QStyle *s = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(s);

  int rc = 0;
  {
    WidgetsShellUi shellUi;
    ShellUi::install(&shellUi);
    TfrmPrincipalWindow frmPrincipal;
    shellUi.setMainWindow(&frmPrincipal);
    // Demo and documentation aid: VENTRAIDE_SCREENSHOT=<png> saves the main window after a few
    // seconds (VENTRAIDE_SCREENSHOT_MS) and ends the program.
    const QString shot = qEnvironmentVariable("VENTRAIDE_SCREENSHOT");
    if (!shot.isEmpty()) {
      int ms = qEnvironmentVariableIntValue("VENTRAIDE_SCREENSHOT_MS");
      QTimer::singleShot(ms > 0 ? ms : 8000, &frmPrincipal, [&frmPrincipal, shot] {
        const bool ok = frmPrincipal.grab().save(shot);
        std::fprintf(stderr, "%s %s\n", ok ? "screenshot saved:" : "screenshot failed:", qPrintable(shot));
        QApplication::quit();
      });
    }
    if (frmPrincipal.Start()) rc = app.exec();
    else rc = 1;
    ShellUi::install(nullptr);
  }
  // process-wide single instances end with the program
  TClassStatusForm::FreeInstance();
  TClass_Carrossel::FreeInstance();
  TClass_VentraLib::FreeInstance();
  TClassConfLocal::FreeInstance();
  TClass_Log::FreeInstance();
  return rc;
}
