// Download benchmark: a 100 MiB file from the maker-server stand-in on loopback, fetched by
// DownloadWithProgress and by `curl -o` in the same run. Each download runs in its own child
// process, so both peak resident sizes are measured the same way (wait4's ru_maxrss).
//
// usage: download_bench [--server PATH] [--size MIB] [--runs N]
//   PATH defaults to $VENTRA_SERVER, else ../tools/ventra-maker-server beside this program.
//   Aim: throughput within 10% of curl, peak memory under 30 MiB.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

#include "app/Download.h"

extern char **environ;

namespace {
struct Run {
  double seconds = 0;
  double peakMiB = 0;
  bool ok = false;
};

Run runChild(const QStringList &argv) {
  std::vector<QByteArray> storage;
  for (const QString &a : argv) storage.push_back(a.toLocal8Bit());
  std::vector<char *> args;
  for (QByteArray &s : storage) args.push_back(s.data());
  args.push_back(nullptr);
  QElapsedTimer clock;
  clock.start();
  pid_t pid = 0;
  Run r;
  if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return r;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return r;
  r.seconds = double(clock.nsecsElapsed()) / 1e9;
  r.peakMiB = double(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
  r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return r;
}

int fetch(const QString &url, const QString &folder, const QString &name) {
  return DownloadWithProgress(url, folder, name, false).isEmpty() ? 0 : 1;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
}  // namespace

int main(int argc, char **argv) {
  if (argc == 5 && QByteArray(argv[1]) == "--fetch")
    return fetch(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));

  QCoreApplication app(argc, argv);
  QString serverPath = qEnvironmentVariable("VENTRA_SERVER");
  if (serverPath.isEmpty())
    serverPath = QDir(QCoreApplication::applicationDirPath()).filePath("../tools/ventra-maker-server");
  qint64 sizeMiB = 100;
  int runs = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const QByteArray a = argv[i];
    if (a == "--server") serverPath = QString::fromLocal8Bit(argv[i + 1]);
    if (a == "--size") sizeMiB = QByteArray(argv[i + 1]).toLongLong();
    if (a == "--runs") runs = std::max(1, QByteArray(argv[i + 1]).toInt());
  }
  const QString curlPath = QStringLiteral("/usr/bin/curl");
  if (!QFileInfo::exists(serverPath) || !QFileInfo::exists(curlPath)) {
    std::fprintf(stderr, "needs %s and %s\n", qPrintable(serverPath), qPrintable(curlPath));
    return 2;
  }

  QTemporaryDir tmp;
  const QString files = tmp.filePath("files");
  QDir().mkpath(files);
  {
    QFile f(files + "/big.bin");
    if (!f.open(QIODevice::WriteOnly)) return 2;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qint64 m = 0; m < sizeMiB; ++m) {
      for (qsizetype i = 0; i < block.size(); ++i) block[i] = char((i * 131 + m * 7) & 0xFF);
      f.write(block);
    }
  }
  QProcess server;
  server.setProgram(serverPath);
  server.setArguments({"--port", "0", "--root", files});
  server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  server.start();
  QByteArray out;
  while (!out.contains('\n') && server.waitForReadyRead(5000)) out += server.readAllStandardOutput();
  const QByteArray first = out.left(out.indexOf('\n'));
  if (!first.startsWith("listening ")) {
    std::fprintf(stderr, "server did not start\n");
    return 2;
  }
  const QString url = "http://" + QString::fromLatin1(first.mid(10)) + "/ventraide/files/";
  const QString dest = tmp.filePath("dest");
  QDir().mkpath(dest);

  std::vector<double> oursS, curlS, oursM, curlM;
  for (int r = 0; r < runs; ++r) {
    QFile::remove(dest + "/big.bin");
    const Run ours = runChild({QCoreApplication::applicationFilePath(), "--fetch", url, dest, "big.bin"});
    if (!ours.ok || QFileInfo(dest + "/big.bin").size() != sizeMiB * 1024 * 1024) {
      std::fprintf(stderr, "DownloadWithProgress failed\n");
      return 1;
    }
    QFile::remove(dest + "/big.bin");
    const Run curl = runChild({curlPath, "-s", "-f", "-o", dest + "/big.bin", url + "big.bin"});
    if (!curl.ok) {
      std::fprintf(stderr, "curl failed\n");
      return 1;
    }
    oursS.push_back(ours.seconds);
    curlS.push_back(curl.seconds);
    oursM.push_back(ours.peakMiB);
    curlM.push_back(curl.peakMiB);
  }
  // the HEAD request of DownloadWithProgress is part of its time, as in the program
  const double mib = double(sizeMiB);
  const double oursRate = mib / median(oursS), curlRate = mib / median(curlS);
  const double oursPeak = *std::max_element(oursM.begin(), oursM.end());
  const double curlPeak = *std::max_element(curlM.begin(), curlM.end());
  std::printf("download of %lld MiB on loopback, median of %d runs (each a fresh process)\n", sizeMiB, runs);
  std::printf("%-22s %12s %14s\n", "", "MiB/s", "peak RSS MiB");
  std::printf("%-22s %12.1f %14.1f\n", "DownloadWithProgress", oursRate, oursPeak);
  std::printf("%-22s %12.1f %14.1f\n", "curl -o", curlRate, curlPeak);
  std::printf("throughput ratio %.2f (aim >= 0.90), peak %.1f MiB (aim < 30)\n", oursRate / curlRate, oursPeak);
  server.write("quit\n");
  server.closeWriteChannel();
  server.waitForFinished(3000);
  return 0;
}
