#pragma once
#include <QString>
#include <cstdint>
#include <functional>

#include "update/FileCrcControl.h"

// The two device-session operations the errors report needs.
struct TScannerFileAccess {
  // Size of the scanner's file, 0 when it has none.
  std::function<uint32_t(const QString &name)> GetFileSize;
  // Copies the scanner's file into folder; false with an error text (possibly empty) on failure.
  std::function<bool(const QString &folder, const QString &name, QString &error)> GetFileToFolder;
};

class TClass_VentraLib;
// The device session's GetFileSize and GetFileToFolder.
TScannerFileAccess ScannerFileAccess(TClass_VentraLib &lib);

// The errors report of the service window: copies the scanner's CRC control file, writes
// "E_" + its name with the records that carry an error, and tells the user (through ShellUi).
// Returns the message shown, empty when the copy failed.
QString acnObterErrosCRC(TClassFileCrcControlManagerVT &vt, const TScannerFileAccess &scanner,
                         const std::function<void(const QString &)> &trace);
QString acnObterErrosCRC(TClassFileCrcControlManagerVT &vt, TClass_VentraLib &lib,
                         const std::function<void(const QString &)> &trace);
