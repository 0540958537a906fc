#include "update/CrcErrorsReport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/ShellUi.h"
#include "protocol/VentraLib.h"

TScannerFileAccess ScannerFileAccess(TClass_VentraLib &lib) {
  return {[&lib](const QString &name) { return lib.GetFileSize(name); },
          [&lib](const QString &folder, const QString &name, QString &error) {
            return lib.GetFileToFolder(folder, name, error);
          }};
}

QString acnObterErrosCRC(TClassFileCrcControlManagerVT &vt, TClass_VentraLib &lib,
                         const std::function<void(const QString &)> &trace) {
  return acnObterErrosCRC(vt, ScannerFileAccess(lib), trace);
}

QString acnObterErrosCRC(TClassFileCrcControlManagerVT &vt, const TScannerFileAccess &scanner,
                         const std::function<void(const QString &)> &trace) {
  IShellUi &ui = ShellUi::get();
  if (scanner.GetFileSize(vt.FileName()) == 0) {
    const QString msg = QStringLiteral("Arquivo de CRC não existe!");
    ui.MessageBox(TMsgKind::Information, msg, TMsgButtons::OK);
    return msg;
  }

  ui.StatusShowMsg(QStringLiteral("Obtendo informações. Aguarde..."));
  QString error;
  QDir().mkpath(vt.Path());  // the copy lands in the scanner folder, which a first run has not made yet
  if (!scanner.GetFileToFolder(vt.Path(), vt.FileName(), error)) {
    if (trace) trace(error.isEmpty() ? QStringLiteral("Erro ao obter arquivo") : error);
    return {};
  }
  ui.StatusClose();

  const QString copy = vt.Path() + vt.FileName();
  if (!QFileInfo(copy).isFile()) return {};
  QString msg;
  try {
    vt.LoadCrcFileContent();
    if (vt.ExistemErros()) {
      vt.SaveErrorsToLocal();
      msg = QStringLiteral("Arquivo de erros gerado com sucesso!");
    } else {
      msg = QStringLiteral("Não existem erros informados!");
    }
  } catch (...) {
    // the copy is only the report's input: do not leave it behind on a bad file
    QFile::remove(copy);
    throw;
  }
  QFile::remove(copy);
  ui.MessageBox(TMsgKind::Information, msg, TMsgButtons::OK);
  return msg;
}
