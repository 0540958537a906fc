#pragma once
#include <QString>
#include <functional>

// Unpacks a ZIP archive into a folder with progress events. Entries that could write outside the
// folder (a ".." part, a leading "/" or "\", a drive name, a NUL in the name, a symbolic link)
// refuse the whole archive before anything is written, and inflating stops at a byte cap counted
// on the real data, whatever the headers announce.
class TClassBrixmontZip {
 public:
  static constexpr qint64 kDefaultMaxUnpackedBytes = qint64(4) << 30;

  TClassBrixmontZip() = default;
  ~TClassBrixmontZip();

  // Raises "O arquivo ZIP não foi encontrado: " + file name, "Não foi possível criar o diretório
  // de destino: " + folder, or a VentraError naming the refused entry or the failure.
  void UnzipFileTo(const QString &_OriginFolder, const QString &_FileName, const QString &_DestinationFolder,
                   bool _deleteFilesBefore);
  // FOriginFolder + FFileName, with a separator between them when needed.
  QString FolderPlusFileName() const;
  void SetMaxUnpackedBytes(qint64 bytes) { FMaxUnpackedBytes = bytes; }

  std::function<void(qint32 total, const QString &fileName)> FEvent_OnStartProgress;
  std::function<void(qint32 value)> FEvent_OnProgress;  // entries extracted so far
  std::function<void()> FEvent_OnEndProgress;

  QString FFileName;
  QString FOriginFolder;
  QString FDestinationFolder;

 private:
  qint64 FMaxUnpackedBytes = kDefaultMaxUnpackedBytes;
};
