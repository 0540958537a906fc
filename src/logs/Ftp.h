#pragma once
#include <QString>

// FTP over one process-wide client that exists between Conecta and Desconecta. Every operation
// reports failure as false and never raises. Passive mode; the account never reaches a trace.
class TFTP {
 public:
  // Replaces any existing client by a new one logged in to the server.
  static bool Conecta(const QString &AHostName, const QString &AUserName, const QString &APassword, int APort = 21);
  // Frees the client; true when nothing stays connected.
  static bool Desconecta();
  static bool Conectado();
  // Makes AFTPFolder current (creating it part by part when it is missing), stores the local file
  // under its own name and compares the server's SIZE of it with the local size.
  static bool UploadFile(const QString &AFTPFolder, const QString &AFileNameFull);
  // Text of the last failure, for the caller's diagnostics (no account data in it).
  static QString UltimoErro();
};

// The log server with the account built into the program (BuildConfig FTP_HOST, FTP_PORT,
// FTP_USER, FTP_PASSWORD).
class TBrixmontFTP : public TFTP {
 public:
  static bool Conecta();
};
