// ventra-identify: finds a plugged scanner through the virtual-device folder (or takes a port),
// identifies it over the frame protocol and prints the decoded fields, with the frame trace
// window showing every frame. A diagnostic for the bench and the workshop.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>

#include "app/BuildConfig.h"
#include "protocol/Frame.h"
#include "transport/Serial.h"
#include "ui/FrameTraceWindow.h"

namespace {
QString findPort() {
  const QDir dir(BuildConfig::devicesFolder());
  for (const QString &name : dir.entryList({"*.json"}, QDir::Files, QDir::Name)) {
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
    if (!o.value("port").toString().isEmpty()) return o.value("port").toString();
  }
  return {};
}

bool exchange(TSerial &port, TFrame &frame, int timeout) {
  if (!port.Write(frame.Frame)) return false;
  frame.setFrameSize(260);
  if (!port.ReadFrame(frame.Frame, timeout)) return false;
  return frame.Parse();
}

void out(const QString &s) {
  std::printf("%s\n", s.toLocal8Bit().constData());
  std::fflush(stdout);
}
}  // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  const QString fileName = args.size() > 2 ? args[2] : QStringLiteral("M000.MNU");
  int holdMs = qEnvironmentVariableIntValue("VENTRA_IDENTIFY_HOLD_MS");
  if (holdMs <= 0) holdMs = 4000;

  TfrmDebug trace;
  trace.ShowDebug(662, 564, 40, 40);
  QString portName = args.size() > 1 ? args[1] : findPort();
  if (portName.isEmpty()) {
    out("no scanner found in " + BuildConfig::devicesFolder());
    return 1;
  }
  TSerial port;
  port.Debug = true;
  if (!port.Open(portName)) {
    out("cannot open " + portName);
    return 1;
  }
  TFrame frame;
  frame.cmd = 0x69;
  frame.Build();
  if (!exchange(port, frame, 1000)) {
    out("no answer to the serial-number request");
    return 1;
  }
  out(QStringLiteral("port            %1").arg(portName));
  out(QStringLiteral("serial number   %1").arg(frame.Serie()));
  frame.cmd = 0x72;
  frame.Build();
  if (exchange(port, frame, 10000)) {
    out(QStringLiteral("model           %1 (type %2)").arg(frame.TipoEquipamentoStr()).arg(frame.TipoEquipamento));
    out(QStringLiteral("firmware        %1").arg(frame.VersaoFirmwareS()));
    out(QStringLiteral("service pack    %1").arg(frame.ServicePack));
    out(QStringLiteral("language        %1").arg(QStringList{"PT", "ES", "EN"}.value(frame.Idioma, "?")));
    out(QStringLiteral("file system     %1").arg(frame.FSIntegrity ? "sound" : "NOT intact"));
    out(QStringLiteral("company         %1").arg(frame.Empresa));
    out("uuid            " + QStringLiteral("%1").arg(frame.UUID, 16, 16, QLatin1Char('0')).toUpper());
    out(QStringLiteral("last update     %1").arg(frame.DataUltAtualizacao));
    out(QStringLiteral("scanner clock   %1").arg(frame.DataHoraV4));
  }
  frame.cmd = 0xC0;
  frame.FileName = fileName;
  frame.FileSizeToRead = 0;
  frame.Build();
  exchange(port, frame, 3000);
  out(QStringLiteral("%1 size   %2 bytes").arg(fileName).arg(frame.FileSizeToRead));
  frame.cmd = 0xB2;
  frame.Build();
  exchange(port, frame, 10000);
  out(QStringLiteral("%1 CRC    %2").arg(fileName).arg(frame.CRC));

  const QString shot = qEnvironmentVariable("VENTRAIDE_SCREENSHOT");
  if (!shot.isEmpty())
    QTimer::singleShot(500, &trace, [&trace, shot] {
      if (trace.grab().save(shot)) out("screenshot      " + shot);
    });
  QTimer::singleShot(holdMs, &app, &QApplication::quit);
  return app.exec();
}
