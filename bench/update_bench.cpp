// Whole-update benchmark: the demo service pack written onto a simulated V5 paced at the real
// line rate (57600 baud 8N1 = 5760 bytes/s) through the main window's update steps, against the
// bound bytes / 5760 + 500 ms per written file + 10 ms per 16 KiB; then the same update again on
// the now up-to-date scanner, with the device commands it cost.
//
// usage: update_bench [--tools DIR] [--no-pace]
//   DIR holds ventra-sim, ventra-maker-server and ventra-demo-data (default ../tools beside this program).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>

#include "app/ConfLocal.h"
#include "app/FrmPrincipal.h"
#include "app/Log.h"
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

// Reads the process's lines as they come; remembers the simulator's "stored" lines.
struct Lines {
  QProcess &p;
  QStringList seen;
  QString wait(const QString &prefix, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
      while (p.canReadLine()) {
        const QString line = QString::fromUtf8(p.readLine()).trimmed();
        seen << line;
        if (line.startsWith(prefix)) return line;
      }
      p.waitForReadyRead(50);
    }
    return {};
  }
  void drain() {
    p.waitForReadyRead(100);
    while (p.canReadLine()) seen << QString::fromUtf8(p.readLine()).trimmed();
  }
};

int fail(const char *what) {
  std::fprintf(stderr, "update_bench: %s\n", what);
  return 1;
}
}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QString tools = QCoreApplication::applicationDirPath() + "/../tools";
  bool pace = true;
  for (int i = 1; i < argc; ++i) {
    const QString a = QString::fromLocal8Bit(argv[i]);
    if (a == "--tools" && i + 1 < argc) tools = QString::fromLocal8Bit(argv[++i]);
    else if (a == "--no-pace") pace = false;
  }
  for (const char *exe : {"ventra-sim", "ventra-maker-server", "ventra-demo-data"})
    if (!QFileInfo(tools + "/" + exe).isExecutable()) return fail("tools not found (use --tools DIR)");

  QTemporaryDir tmp;
  const QString devices = tmp.filePath("devices"), simFiles = tmp.filePath("sim"), home = tmp.filePath("home") + "/",
                served = tmp.filePath("served");
  for (const QString &d : {devices, simFiles, home, served}) QDir().mkpath(d);
  qputenv("VENTRAIDE_DEVICES", devices.toLocal8Bit());
  qputenv("VENTRAIDE_HOME", home.toLocal8Bit());
  QDir::setCurrent(home);
  if (QProcess::execute(tools + "/ventra-demo-data", {"--out", served, "--sp", "41", "--fw-version", "500"}) != 0)
    return fail("demo data not built");

  QProcess server;
  server.setProgram(tools + "/ventra-maker-server");
  server.setArguments({"--port", "0", "--root", served});
  server.start();
  Lines serverLines{server, {}};
  const QString listening = serverLines.wait("listening ", 5000);
  if (listening.isEmpty()) return fail("stand-in did not start");
  const QString base = "http://127.0.0.1:" + listening.section(':', -1) + "/";
  qputenv("VENTRAIDE_DOWNLOAD_URL", (base + "ventraide/files/").toLocal8Bit());
  qputenv("VENTRAIDE_PROBE_URL", (base + "generate_204").toLocal8Bit());
  qputenv("VENTRAIDE_PORTAL_URL", (base + "portal/").toLocal8Bit());

  QProcess sim;
  sim.setProgram(tools + "/ventra-sim");
  QStringList simArgs{"--devices", devices, "--files", simFiles, "--type", "10", "--sp", "40", "--fs", "1"};
  if (pace) simArgs << "--pace";
  sim.setArguments(simArgs);
  sim.start();
  Lines simLines{sim, {}};
  if (simLines.wait("plugged ", 5000).isEmpty()) return fail("simulator did not start");

  QStringList traces;
  const bool verbose = qEnvironmentVariableIsSet("BENCH_VERBOSE");
  Trace::setSink([&](const QString &l) {
    traces << l.mid(14);
    if (verbose) std::printf("%s\n", qPrintable(l));
  });
  int rc = 0;
  {
    TfrmPrincipal frm;
    frm.FormCreate();
    if (!frm.FormShow()) return fail("main window did not start");
    if (!pumpUntil([&] { return traces.contains("11 - LiberaBotoes"); }, 60000)) return fail("scanner not ready");

    auto runUpdate = [&](double &seconds) {
      traces.clear();
      QElapsedTimer t;
      t.start();
      frm.acBtnAtualizar();
      const bool done = pumpUntil(
          [&] {
            return (traces.contains("Scanner Update 0X - FinalizaMnu") ||
                    traces.contains("Scanner Update 0X - InterrompeAtualizacao")) &&
                   !frm.StepPending();
          },
          3600000);
      seconds = double(t.nsecsElapsed()) / 1e9;
      return done;
    };

    double first = 0;
    if (!runUpdate(first)) return fail("first update did not end");
    simLines.drain();
    qint64 bytes = 0;
    int files = 0;
    for (const QString &l : simLines.seen)
      if (l.startsWith("stored ")) {
        bytes += l.section(' ', 2, 2).toLongLong();
        ++files;
      }
    const double bound = bytes / kLineRate + 0.5 * files + 0.01 * (double(bytes) / 16384.0);
    const int errors = TClassConfLocal::GetInstance().ConfLocal_ReadInteger("ATUALIZACAO", "ERROR_COUNT", -1);
    std::printf("update of an empty V5 (%s)\n", pace ? "paced at 5760 bytes/s" : "unpaced");
    std::printf("  elapsed %.2f s, %d writes acknowledged, %lld bytes written, %d errors\n", first, files,
                static_cast<long long>(bytes), errors);
    std::printf("  bound %.2f s (bytes/5760 + 0.5 s per file + 10 ms per 16 KiB), ratio %.3f (aim <= 1.10)\n", bound,
                first / bound);

    sim.write("reset-stats\n");
    simLines.wait("ok", 3000);
    double second = 0;
    if (!runUpdate(second)) rc = fail("second update did not end");
    sim.write("stats\n");
    const QString stats = simLines.wait("stats ", 3000);
    std::printf("second update of the up-to-date scanner\n  elapsed %.2f s, device commands: %s\n", second,
                qPrintable(stats.mid(6)));
  }
  Trace::setSink({});
  TClass_VentraLib::FreeInstance();
  TClassConfLocal::FreeInstance();
  sim.write("quit\n");
  sim.waitForFinished(3000);
  server.write("quit\n");
  server.waitForFinished(3000);
  return rc;
}
