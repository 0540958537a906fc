#pragma once
#include <QString>
#include <functional>

#include "app/CurlHandle.h"

// The download server's HTTP helper: file size by HEAD and a file fetched into a temporary
// "_new" file that replaces the destination only when it arrived complete. Transfers stream to
// disk and block the calling (main) thread; the progress events let window messages run, so a
// click on "Cancelar" can call Cancelar, which drops the connection.
class TClassHttpLib {
 public:
  TClassHttpLib();
  ~TClassHttpLib();
  TClassHttpLib(const TClassHttpLib &) = delete;
  TClassHttpLib &operator=(const TClassHttpLib &) = delete;

  // serverFolderUrl ends with "/"; an empty destName means originName. True when the file arrived
  // complete: the announced size when the server gives one, else at least one byte.
  bool GetFile(const QString &serverFolderUrl, const QString &localFolder, const QString &destName,
               const QString &originName);
  // Content length from a HEAD request; 0 when the server gives none or on any error.
  qint64 GetFileSize(const QString &serverFolderUrl, const QString &fileName);
  void Cancelar() { FCancelado = true; }
  bool Cancelado() const { return FCancelado; }
  // Percentage of the transfer in progress, 0 while no total is known.
  int GetPorcentagemBaixada() const { return Porcentagem(FBytesBaixados, FTotalBytes); }
  qint64 TotalBytes() const { return FTotalBytes; }
  qint64 BytesBaixados() const { return FBytesBaixados; }

  // Defaults: 10000 ms to connect, 10000 ms without data before a transfer is given up.
  void SetTimeouts(int connectMs, int readMs);

  // bytes * 100 / total rounded to the nearest integer, halves to the even one; 0 without total.
  static int Porcentagem(qint64 bytes, qint64 total);
  // "a.zip" -> "a_new.zip", "a" -> "a_new".
  static QString TempFileName(const QString &fileName);

  std::function<void(qint64 total)> OnStartWork;   // transfer began; total 0 when unknown
  std::function<void(qint64 received)> OnWork;     // progress, at most every 50 ms and at the end
  std::function<void()> OnEndWork;                 // transfer ended, whatever the outcome

 private:
  friend struct HttpLibTransfer;
  bool download(const QString &url, const QString &fileName, QString &error);

  CurlEasy FHttp;
  qint64 FTotalBytes = 0;
  qint64 FBytesBaixados = 0;
  bool FCancelado = false;
  int FConnectTimeoutMs = 10000;
  int FReadTimeoutMs = 10000;
};
