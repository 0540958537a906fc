// Whole-process transfer benchmark: a simulated scanner paced at the real line rate
// (57600 baud 8N1 = 5760 bytes/s), a 64 KiB file written onto it and read back through the
// device session, and the achieved bytes/s of each direction against the line rate.
//
// usage: serial_transfer_bench [--sim PATH] [--size BYTES]
//   PATH defaults to $VENTRA_SIM, else ../tools/ventra-sim beside this program.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <random>

#include "protocol/Crc64.h"
#include "protocol/VentraLib.h"

namespace {
constexpr double kLineRate = 5760.0;

bool pumpUntil(const std::function<bool()> &pred, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents();
    QThread::msleep(2);
  }
  return true;
}

QString waitLine(QProcess &p, const QString &prefix, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < timeoutMs) {
    while (p.canReadLine()) {
      const QString line = QString::fromUtf8(p.readLine()).trimmed();
      if (line.startsWith(prefix)) return line;
    }
    p.waitForReadyRead(100);
  }
  return {};
}

int fail(const char *what) {
  std::fprintf(stderr, "serial_transfer_bench: %s\n", what);
  return 1;
}
}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QString simPath = qEnvironmentVariable("VENTRA_SIM");
  int size = 64 * 1024;
  for (int i = 1; i + 1 < argc; i += 2) {
    const QString a = QString::fromLocal8Bit(argv[i]);
    if (a == "--sim") simPath = QString::fromLocal8Bit(argv[i + 1]);
    else if (a == "--size") size = std::max(1, std::atoi(argv[i + 1]));
  }
  if (simPath.isEmpty()) simPath = QCoreApplication::applicationDirPath() + "/../tools/ventra-sim";
  if (!QFileInfo(simPath).isExecutable()) return fail("ventra-sim not found (use --sim PATH)");

  QTemporaryDir tmp;
  const QString devices = tmp.filePath("devices"), files = tmp.filePath("files"), local = tmp.filePath("pc") + "/";
  for (const QString &d : {devices, files, local}) QDir().mkpath(d);
  qputenv("VENTRAIDE_DEVICES", devices.toLocal8Bit());
  qputenv("VENTRAIDE_HOME", tmp.path().toLocal8Bit());

  auto *lib = TClass_VentraLib::GetInstance();
  lib->SetHandle();
  bool connected = false, opened = false, listed = false;
  lib->OnDeviceConnected = [&] { connected = true; };
  lib->OnDeviceListReady = [&] { listed = true; };
  lib->OnDeviceOpened = [&] { opened = true; };

  QProcess sim;
  sim.setProgram(simPath);
  sim.setArguments({"--pace", "--devices", devices, "--files", files});
  sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  sim.start();
  if (!sim.waitForStarted(5000) || waitLine(sim, "plugged ", 5000).isEmpty()) return fail("simulator did not start");
  if (!pumpUntil([&] { return connected; }, 5000)) return fail("no arrival reported");
  lib->ListarPortasCOM();
  if (!pumpUntil([&] { return listed; }, 3000) || lib->ListaPortas().empty()) return fail("scanner not listed");
  const QString port = lib->ListaPortas()[0]->COM_NAME();
  if (!lib->OpenConnection(port)) return fail("port did not open");
  lib->CheckSerial();
  if (!pumpUntil([&] { return opened; }, 20000)) return fail("scanner not identified");

  QByteArray data(size, '\0');
  std::mt19937 rng(42);
  for (auto &c : data) c = char(rng() & 0xFF);
  {
    QFile f(local + "BENCH.BIN");
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) return fail("cannot write the local file");
  }

  QElapsedTimer t;
  t.start();
  if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
    lib->OnLog = [&](const QString &s) { std::printf("%8.3f %s\n", double(t.nsecsElapsed()) / 1e9, qPrintable(s)); };
  const bool wrote = lib->GravaArquivo(local, "BENCH.BIN");
  const double writeSec = double(t.nsecsElapsed()) / 1e9;
  if (!wrote) return fail("write failed");

  QFile::remove(local + "BENCH.BIN");
  QString err;
  t.restart();
  const bool read = lib->GetFileToFolder(local, "BENCH.BIN", err);
  const double readSec = double(t.nsecsElapsed()) / 1e9;
  if (!read) return fail(qPrintable("read failed: " + err));
  QFile back(local + "BENCH.BIN");
  if (!back.open(QIODevice::ReadOnly) || back.readAll() != data) return fail("read-back differs");

  const double writeRate = size / writeSec, readRate = size / readSec;
  std::printf("file %d bytes, line rate %.0f bytes/s (57600 8N1)\n", size, kLineRate);
  std::printf("write  %8.3f s  %8.1f bytes/s  ratio %.3f\n", writeSec, writeRate, writeRate / kLineRate);
  std::printf("read   %8.3f s  %8.1f bytes/s  ratio %.3f\n", readSec, readRate, readRate / kLineRate);
  std::printf("crc %016llx, round trip byte-exact\n", static_cast<unsigned long long>(CalcCRC64Bytes(data)));

  TClass_VentraLib::FreeInstance();
  sim.write("quit\n");
  sim.waitForFinished(3000);
  return 0;
}
