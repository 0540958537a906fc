#pragma once
#include <QString>
#include <functional>

// The file download and unzip that the service-pack store and the version record rely on.
// Owners may replace them (a download window of their own, a test double); the defaults are the
// program's download with its progress window and its archive reader.
namespace UpdateIo {
// Fetches fileName from serverFolderUrl into localFolder; returns an error text, empty on success.
using TDownloadFn =
    std::function<QString(const QString &serverFolderUrl, const QString &localFolder, const QString &fileName)>;
// Unpacks every entry of archive into folder; false with an error text when it cannot.
using TUnzipFn = std::function<bool(const QString &archive, const QString &folder, QString &error)>;

TDownloadFn DefaultDownload();
TUnzipFn DefaultUnzip();

// Server folders under the download server's files folder.
QString ServerFilesUrl();                            // ".../ventraide/files/"
QString ServicePackServerUrl(const QString &spIDE);  // files + "sp/sp" + number + "/"

// A file name from a server list that stays inside the folder it is joined to.
bool IsPlainFileName(const QString &name);
}  // namespace UpdateIo
