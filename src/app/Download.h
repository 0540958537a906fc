#pragma once
#include <QString>

class IDownloadView;

// True when the connectivity probe answers (3000 ms read time-out).
bool VerificaInternet();

enum class TDownloadResult { Done, Aborted, Cancelled };

// The download window's work for one attempt, driving the given view: size by HEAD, nothing
// fetched when the local file already has that size, else the file through TClassHttpLib.
TDownloadResult RunDownloadWindow(IDownloadView &view, const QString &serverFolderUrl, const QString &localFolder,
                                  const QString &fileName, bool cancelAllowed);

// Downloads serverFolderUrl + fileName into localFolder with the shell's download window, up to
// three attempts. Returns "" on success, else "Operação abortada. Falha ao baixar arquivo: <name>"
// and the like.
QString DownloadWithProgress(const QString &serverFolderUrl, const QString &localFolder, const QString &fileName,
                             bool cancelAllowed);
