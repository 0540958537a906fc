#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QStringList>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "protocol/Frame.h"
#include "support/SimProcess.h"
#include "transport/FrameTrace.h"
#include "transport/Serial.h"

namespace {
// Collects trace lines in place of the frame trace window.
struct TraceRecorder : IFrameTrace {
  QStringList in, out, other;
  TraceRecorder() { FrameTrace::setSink(this); }
  ~TraceRecorder() override { FrameTrace::setSink(nullptr); }
  void AddInLine(const QString &s) override { in << s; }
  void AddOutLine(const QString &s) override { out << s; }
  void AddLine(const QString &s) override { other << s; }
};

// A bare pseudo-terminal pair for byte-level timing cases the simulator cannot stage.
struct PtyPair {
  int master = -1;
  QString slave;
  PtyPair() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ::grantpt(master);
    ::unlockpt(master);
    slave = QString::fromLatin1(::ptsname(master));
    termios tio{};
    const int s = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ::tcgetattr(s, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(s, TCSANOW, &tio);
    ::close(s);
  }
  ~PtyPair() {
    if (master >= 0) ::close(master);
  }
  void send(const QByteArray &b) const { (void)!::write(master, b.constData(), size_t(b.size())); }
};

QByteArray request(uint8_t cmd) {
  TFrame f;
  f.cmd = cmd;
  f.Build();
  return f.Frame;
}
}  // namespace

TEST(Serial, ExchangesFramesWithTheSimulatorAndTraces) {
  SimProcess sim({"--serial", "512345", "--type", "8"});
  ASSERT_TRUE(sim.start());
  TraceRecorder trace;
  TSerial port;
  port.Debug = true;
  ASSERT_TRUE(port.Open(sim.port()));
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(port.PortaConectada(), sim.port());

  ASSERT_TRUE(port.Write(request(0x69)));
  QByteArray buf(260, '\0');
  ASSERT_TRUE(port.ReadFrame(buf, 2000));
  TFrame f;
  f.Parse(buf, int(buf.size()));
  EXPECT_EQ(f.Serie(), 512345u);

  ASSERT_TRUE(port.Write(request(0x72)));
  ASSERT_TRUE(port.Read(buf, 2000));
  f.Parse(buf, int(buf.size()));
  EXPECT_EQ(f.TipoEquipamentoEnum(), TType_Equipamento::VentraV4);

  ASSERT_TRUE(port.Write(request(0x80)));
  ASSERT_TRUE(port.ReadFrame(buf, 2000));
  EXPECT_EQ(buf.left(5).toHex(' ').toUpper(), "02 55 80 FF 29");

  port.Close();
  EXPECT_FALSE(port.Connected());
  EXPECT_TRUE(port.PortaConectada().isEmpty());

  EXPECT_EQ(trace.other.first(), sim.port() + " OPEN");
  EXPECT_EQ(trace.other.last(), "CLOSED");
  EXPECT_EQ(trace.out.first(), "01 69 FF 96 ");
  ASSERT_EQ(trace.in.size(), 3);
  EXPECT_TRUE(trace.in[0].startsWith("05 69 00 07 D1 59 "));
  EXPECT_EQ(trace.in[2], "02 55 80 FF 29 ");
}

TEST(Serial, OpenIsExclusiveAndFailsWithATrace) {
  PtyPair pty;
  TraceRecorder trace;
  TSerial a, b;
  b.Debug = true;
  ASSERT_TRUE(a.Open(pty.slave));
  EXPECT_FALSE(b.Open(pty.slave)) << "a second opener is refused";
  EXPECT_FALSE(b.Connected());
  EXPECT_FALSE(b.Open("/dev/nonexistent-ventra"));
  ASSERT_GE(trace.other.size(), 2);
  EXPECT_TRUE(trace.other.last().startsWith("/dev/nonexistent-ventra Error: 00000002 ")) << trace.other.last().toStdString();
  a.Close();
  EXPECT_TRUE(b.Open(pty.slave)) << "free again after Close";
}

TEST(Serial, TimeoutsWithoutAReply) {
  PtyPair pty;
  TSerial port;
  ASSERT_TRUE(port.Open(pty.slave));
  QByteArray buf(260, '\0');
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(port.ReadFrame(buf, 300));
  EXPECT_GE(t.elapsed(), 290);
  EXPECT_LT(t.elapsed(), 1500);

  // One byte then silence: ReadFrame needs LEN and more before it commits.
  pty.send(QByteArray("\x05", 1));
  t.restart();
  EXPECT_FALSE(port.ReadFrame(buf, 300));
  EXPECT_FALSE(port.Read(buf, 300)) << "Read's wait for the rest is bounded too";
  EXPECT_LT(t.elapsed(), 2000);

  // The rest of that frame arrives: it is read whole and what follows stays queued.
  port.Purge();
  pty.send(QByteArray::fromHex("0255BDFEEC") + QByteArray::fromHex("0255"));
  ASSERT_TRUE(port.ReadFrame(buf, 1000));
  EXPECT_EQ(buf.left(5), QByteArray::fromHex("0255BDFEEC"));
  EXPECT_EQ(port.BytesWaiting(), 2);
  port.PurgeAll();
  EXPECT_EQ(port.BytesWaiting(), 0);
}

TEST(Serial, NewReadFrameCollectsBurstsWithinOneBudget) {
  PtyPair pty;
  TSerial port;
  ASSERT_TRUE(port.Open(pty.slave));
  std::thread feeder([&] {
    for (int i = 0; i < 3; ++i) {
      pty.send(QByteArray(1372, char('a' + i)));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  QString err;
  const QByteArray got = port.NewReadFrame(4116, 2000, err);
  feeder.join();
  EXPECT_TRUE(err.isEmpty());
  EXPECT_EQ(got.size(), 4116);

  // 4000 of 4116 bytes within the budget: nothing, "Timeout".
  pty.send(QByteArray(4000, 'x'));
  QElapsedTimer t;
  t.start();
  EXPECT_TRUE(port.NewReadFrame(4116, 400, err).isEmpty());
  EXPECT_EQ(err, "Timeout");
  EXPECT_LT(t.elapsed(), 1500);
}

TEST(Serial, PulledLinkFailsFastWithoutSpinning) {
  SimProcess sim;
  ASSERT_TRUE(sim.start());
  TSerial port;
  ASSERT_TRUE(port.Open(sim.port()));
  ASSERT_TRUE(sim.pull());
  QByteArray buf(260, '\0');
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(port.ReadFrame(buf, 5000));
  EXPECT_LT(t.elapsed(), 1000) << "a hung-up port is gone, not slow";
  EXPECT_TRUE(port.DeviceGone());
  EXPECT_FALSE(port.Write(request(0x69)));
  QString err;
  EXPECT_TRUE(port.NewReadFrame(100, 5000, err).isEmpty());
  EXPECT_FALSE(err.isEmpty());
  EXPECT_LT(t.elapsed(), 1000);
  port.Close();
  EXPECT_FALSE(port.Connected());
  port.Close();  // closing twice changes nothing
}

TEST(FrameTraceFilter, Rules) {
  struct {
    const char *line, *filter;
    bool dropped;
  } cases[] = {
      {"05 72 00 01 02", "72", true},  {"05 72 00 01 02", "72 69", true}, {"05 69 00 07", "72 69", true},
      {"05 69 00 07", "72", false},    {"05 72 00", "", false},           {"02 55 80 FF 29", "80", false},
  };
  for (const auto &c : cases) EXPECT_EQ(FrameTrace::isFiltered(c.line, c.filter), c.dropped) << c.line;

  struct Routed : IFrameTrace {
    QStringList in, out, other;
    void AddInLine(const QString &s) override { in << s; }
    void AddOutLine(const QString &s) override { out << s; }
    void AddLine(const QString &s) override { other << s; }
  } r;
  r.AddConstLine("<<< 05 69");
  r.AddConstLine(">>> 01 69 FF 96");
  r.AddConstLine("plain");
  EXPECT_EQ(r.in, QStringList{"05 69"});
  EXPECT_EQ(r.out, QStringList{"01 69 FF 96"});
  EXPECT_EQ(r.other, QStringList{"plain"});
}
