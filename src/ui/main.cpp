// VentraIDE: one instance per user, the main window and its message loop.
#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStyleFactory>

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
