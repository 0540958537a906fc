#pragma once
#include <QString>

// Process-wide values the main window fills at creation and after reading the scanner; the update,
// service-pack and self-update code read them.
namespace Globais {
inline QString PathExe;              // base folder, trailing separator
inline QString NomeAplicativo;       // executable name without extension
inline QString VersaoAplicativo;     // "major.minor.release.build"
inline QString PathAutoUpdate;       // base folder + "autoupdate/"
inline QString PathArquivosExtras;   // base folder + "files/"
inline QString ServicePackIDE;       // this program's service-pack number as decimal text
inline int IndiceIdioma = 0;         // user-interface language: 0 PT, 1 ES, 2 EN
inline QString UUIDScanner;          // scanner UUID as unsigned decimal text
inline int ServicePackScanner = 0;   // the scanner's service-pack number

// Run flags of the main window.
inline bool IdeOnlineEnviado = false;    // program-online report sent
inline bool BaixandoLogs = false;        // the log window holds the scanner
inline bool FormPrincipalExibido = false;  // main window shown (download window centres on it)
}  // namespace Globais
