#pragma once
#include <QString>

// Constants of the build, each overridable by the environment variable VENTRAIDE_<NAME>.
namespace BuildConfig {
QString value(const char *name);  // e.g. value("DOWNLOAD_URL")
QString programVersion();
// Base folder with a trailing separator: $VENTRAIDE_HOME, else the executable's folder.
QString baseFolder();
// Folder of virtual device descriptors ($VENTRAIDE_DEVICES, else a per-user runtime folder).
QString devicesFolder();
}  // namespace BuildConfig
