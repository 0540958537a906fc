// File operations of the device session against the simulator over a real pty.
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <random>

#include "SessionFixture.h"
#include "protocol/Crc64.h"
#include "transport/FrameTrace.h"

namespace {
QByteArray content(int size, unsigned seed) {
  std::mt19937 rng(seed);
  QByteArray b(size, '\0');
  for (auto &c : b) c = char(rng() & 0xFF);
  return b;
}

bool writeFile(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct TraceRecorder : IFrameTrace {
  QStringList out;
  void AddInLine(const QString &) override {}
  void AddOutLine(const QString &s) override { out << s; }
  void AddLine(const QString &) override {}
};
}  // namespace

class FileTransfer : public SessionTest {
 protected:
  std::unique_ptr<SimProcess> sim;
  QString local;  // the PC-side folder, with a trailing separator

  void SetUp() override {
    SessionTest::SetUp();
    local = tmp.filePath("pc") + "/";
    QDir().mkpath(local);
  }
  void TearDown() override {
    SessionTest::TearDown();
    sim.reset();
  }
  void open(QStringList args = {}) {
    sim = startSim(args);
    ASSERT_TRUE(sim);
    ASSERT_EQ(openSession(sim->port()), "DeviceOpened");
    ASSERT_TRUE(lib->FlagConnected());
    logs.clear();
    progress.clear();
    startProgress.clear();
  }
  QStringList blockRequests() const {
    QStringList r;
    for (const QString &l : logs)
      if (l.startsWith("Solicitando ")) r << l;
    return r;
  }
};

TEST_F(FileTransfer, WritesRoundTripByteExactWithProgressAndCrc) {
  open();
  TraceRecorder trace;
  FrameTrace::setSink(&trace);
  lib->SerialObj()->Debug = true;
  struct Case {
    int size;
    QList<qint64> progress;
  } cases[] = {
      {0, {}},          {300, {300}},   {4095, {4095}}, {4096, {4096}},
      {10000, {10000}}, {40000, {16384, 32768, 40000}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.size);
    const QString name = QStringLiteral("F%1.BIN").arg(c.size);
    const QByteArray data = content(c.size, unsigned(c.size) + 1);
    ASSERT_TRUE(writeFile(local + name, data));
    progress.clear();
    trace.out.clear();
    insideCall = true;
    EXPECT_TRUE(lib->GravaArquivo(local, name));
    insideCall = false;
    EXPECT_EQ(progress, c.progress);
    EXPECT_EQ(readFile(sim->filesDir() + "/" + name), data);
    EXPECT_EQ(lib->GetFileSize(name), uint32_t(c.size));
    EXPECT_EQ(lib->GetCrcFromFile(name, c.size), CalcCRC64Bytes(data));
    ASSERT_FALSE(trace.out.isEmpty());
    // header: LEN B0, folder 0, the size little-endian, the name
    const QString sizeLE = QStringLiteral("%1 %2 %3 %4 ")
                               .arg(c.size & 0xFF, 2, 16, QLatin1Char('0'))
                               .arg((c.size >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                               .arg((c.size >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
                               .arg((c.size >> 24) & 0xFF, 2, 16, QLatin1Char('0'))
                               .toUpper();
    EXPECT_TRUE(trace.out.first().mid(3).startsWith("B0 00 00 " + sizeLE)) << trace.out.first().toStdString();
  }
  FrameTrace::setSink(nullptr);
  EXPECT_TRUE(raisedInsideCall.isEmpty());
  EXPECT_EQ(sim->stats()["B0"], 6u);
  EXPECT_TRUE(logs.contains("Ack - OK"));
  EXPECT_TRUE(logs.contains("Arquivo encontrado: F300.BIN - FileSize: 300"));
}

TEST_F(FileTransfer, WriteRefusals) {
  open();
  // missing local file: nothing is sent
  EXPECT_FALSE(lib->GravaArquivo(local, "NADA.BIN"));
  EXPECT_TRUE(logs.contains("Arquivo não encontrado: NADA.BIN"));
  // scanner removed before the call: "Serial desconectada", nothing sent
  ASSERT_TRUE(writeFile(local + "A.BIN", content(500, 7)));
  ASSERT_TRUE(sim->pull());
  ASSERT_TRUE(waitEvent("DeviceDisconnected", 3000));
  logs.clear();
  EXPECT_FALSE(lib->GravaArquivo(local, "A.BIN"));
  EXPECT_EQ(logs, QStringList({"GravaArquivo: A.BIN", "Serial desconectada"}));
  EXPECT_EQ(sim->stats()["B0"], 0u);
}

TEST_F(FileTransfer, ReadsInBlocksWithTheDescribedRequests) {
  open();
  struct Case {
    int size;
    QStringList requests;  // "len@pos"
    QList<qint64> progress;
  } cases[] = {
      {300, {"300@0"}, {0}},
      {4095, {"4095@0"}, {0}},
      {4096, {"4096@0"}, {0}},
      {10000, {"4096@0", "4096@4096", "1808@8192"}, {4096, 8192, 0}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.size);
    const QString name = QStringLiteral("R%1.DAT").arg(c.size);
    const QByteArray data = content(c.size, unsigned(c.size) * 3);
    ASSERT_TRUE(writeFile(sim->filesDir() + "/" + name, data));
    logs.clear();
    progress.clear();
    startProgress.clear();
    QString err = "x";
    EXPECT_TRUE(lib->GetFileToFolder(local, name, err));
    EXPECT_TRUE(err.isEmpty());
    EXPECT_EQ(readFile(local + name), data);
    EXPECT_EQ(startProgress, QList<qint64>{c.size});
    EXPECT_EQ(progress, c.progress);
    QStringList expected;
    for (const QString &r : c.requests) {
      const auto p = r.split('@');
      expected << "Solicitando " + p[0] + " BYTES a partir da posição: " + p[1] + " do arquivo: " + name;
    }
    EXPECT_EQ(blockRequests(), expected);
    EXPECT_TRUE(logs.contains("Arquivo obtido com sucesso: " + local + name));
  }
  // a file of 0 bytes and a missing file are both "Arquivo não existe"; nothing is saved
  ASSERT_TRUE(writeFile(sim->filesDir() + "/ZERO.DAT", {}));
  for (const QString name : {"ZERO.DAT", "MISSING.DAT"}) {
    QString err;
    EXPECT_FALSE(lib->GetFileToFolder(local, name, err));
    EXPECT_EQ(err, "Arquivo não existe");
    EXPECT_FALSE(QFileInfo::exists(local + name));
  }
  EXPECT_EQ(lib->GetFileSize("MISSING.DAT"), 0u) << "never the size of a previously asked file";
  // a folder that cannot be written: false with the system's message, nothing left behind
  QString err;
  EXPECT_FALSE(lib->GetFileToFolder(tmp.filePath("no/such/folder") + "/", "R300.DAT", err));
  EXPECT_FALSE(err.isEmpty());
  EXPECT_NE(err, "Falha ao ler bytes");
  // a folder given without its separator still receives the file inside it
  QDir().mkpath(tmp.filePath("nosep"));
  EXPECT_TRUE(lib->GetFileToFolder(tmp.filePath("nosep"), "R300.DAT", err));
  EXPECT_TRUE(QFileInfo::exists(tmp.filePath("nosep/R300.DAT")));
}

TEST_F(FileTransfer, BadBlocksAreRetriedAndNothingIsSaved) {
  open();
  const QByteArray big = content(10000, 99), small = content(4095, 98);
  ASSERT_TRUE(writeFile(sim->filesDir() + "/BIG.DAT", big));
  ASSERT_TRUE(writeFile(sim->filesDir() + "/SMALL.DAT", small));
  struct Case {
    const char *fault, *file;
    int requests;
  } cases[] = {
      {"bad-crc 1:1", "BIG.DAT", 4},     // fails once, then succeeds: read to the end, still false
      {"bad-crc 0:-1", "BIG.DAT", 4},    // always bad: four attempts, then give up
      {"bad-crc 0:1", "SMALL.DAT", 1},   // below one block: a single attempt
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.fault);
    ASSERT_FALSE(sim->control(c.fault, "ok ").isEmpty());
    logs.clear();
    QString err;
    EXPECT_FALSE(lib->GetFileToFolder(local, c.file, err));
    EXPECT_EQ(err, "Falha ao ler bytes");
    EXPECT_EQ(blockRequests().size(), c.requests);
    EXPECT_FALSE(QFileInfo::exists(local + c.file));
    ASSERT_FALSE(sim->control("bad-crc 0:0", "ok ").isEmpty());
  }
  // with the fault cleared the same file reads back whole
  QString err;
  ASSERT_FALSE(sim->control("bad-crc 1:0", "ok ").isEmpty());
  EXPECT_TRUE(lib->GetFileToFolder(local, "BIG.DAT", err)) << err.toStdString();
  EXPECT_EQ(readFile(local + "BIG.DAT"), big);
}

TEST_F(FileTransfer, RefusedBlockTimesOutCleanly) {
  open();
  // a block beyond the end of the file is refused with the trailer alone
  ASSERT_TRUE(writeFile(sim->filesDir() + "/S.DAT", content(100, 5)));
  TFrame *f = lib->Frame();
  f->cmd = 0xBF;
  f->PosInicialFile = 4096;
  f->FileSize = 100;
  f->FileName = "S.DAT";
  ASSERT_TRUE(f->Build());
  ASSERT_TRUE(lib->SerialObj()->Write(f->Frame));
  QString err;
  const QByteArray got = lib->SerialObj()->NewReadFrame(20, 2000, err);
  EXPECT_EQ(got.toHex(' ').toUpper(), "11 BF FF FF FF FF FF FF FF FF 00 00 00 00 00 00 00 00 F7 38");
}

TEST_F(FileTransfer, LateReplyDoesNotPoisonTheNextExchange) {
  open();
  const QByteArray data = content(300, 21);
  ASSERT_TRUE(writeFile(sim->filesDir() + "/LATE.DAT", data));
  ASSERT_FALSE(sim->control("late BF:2600", "ok ").isEmpty());
  QString err;
  EXPECT_FALSE(lib->GetFileToFolder(local, "LATE.DAT", err));
  EXPECT_EQ(err, "Falha ao ler bytes");
  EXPECT_TRUE(logs.contains("Erro: Timeout"));
  ASSERT_FALSE(sim->control("late BF:0", "ok ").isEmpty());
  QThread::msleep(300);  // the late block has arrived meanwhile and waits in the queue
  EXPECT_EQ(lib->GetFileSize("LATE.DAT"), 300u);
  EXPECT_TRUE(lib->GetFileToFolder(local, "LATE.DAT", err)) << err.toStdString();
  EXPECT_EQ(readFile(local + "LATE.DAT"), data);
}

TEST_F(FileTransfer, CablePulledDuringWriteFailsCleanly) {
  open();
  const QByteArray data = content(65536, 11);
  ASSERT_TRUE(writeFile(local + "BIG.BIN", data));
  ASSERT_FALSE(sim->control("pull-after-rx 5000", "ok ").isEmpty());
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(lib->GravaArquivo(local, "BIG.BIN"));
  EXPECT_LT(t.elapsed(), 8000);
  EXPECT_GE(countLogs("Serial desconectada 2"), 1);
  EXPECT_FALSE(logs.contains("Ack - OK"));
  // the scanner kept what arrived: a partial file that a CRC check will tell apart
  const QString partial = sim->waitLine("partial BIG.BIN", 3000);
  EXPECT_FALSE(partial.isEmpty());
  EXPECT_LT(QFileInfo(sim->filesDir() + "/BIG.BIN").size(), data.size());
  ASSERT_TRUE(waitEvent("DeviceDisconnected", 3000));
  EXPECT_FALSE(lib->Connected());
}

TEST_F(FileTransfer, CablePulledDuringReadFailsCleanly) {
  open();
  ASSERT_TRUE(writeFile(sim->filesDir() + "/R.DAT", content(10000, 12)));
  ASSERT_FALSE(sim->control("pull-after-tx 6000", "ok ").isEmpty());
  QElapsedTimer t;
  t.start();
  QString err;
  EXPECT_FALSE(lib->GetFileToFolder(local, "R.DAT", err));
  EXPECT_EQ(err, "Falha ao ler bytes");
  EXPECT_LT(t.elapsed(), 3000);
  EXPECT_FALSE(QFileInfo::exists(local + "R.DAT"));
  ASSERT_TRUE(waitEvent("DeviceDisconnected", 3000));
}

TEST_F(FileTransfer, DeleteAndScreenLogSwitch) {
  open();
  ASSERT_TRUE(writeFile(sim->filesDir() + "/DEL.DAT", "abc"));
  lib->ApagarArquivo("DEL.DAT");
  EXPECT_FALSE(QFileInfo::exists(sim->filesDir() + "/DEL.DAT"));
  EXPECT_FALSE(lib->LogTelasHabilitado());
  lib->HabilitaLogTelas(true);
  EXPECT_EQ(readFile(sim->filesDir() + "/LOG_MODE.LOG"), "000000");
  EXPECT_TRUE(lib->LogTelasHabilitado());
  lib->HabilitaLogTelas(false);
  EXPECT_FALSE(QFileInfo::exists(sim->filesDir() + "/LOG_MODE.LOG"));
  EXPECT_FALSE(lib->LogTelasHabilitado());
  const auto s = sim->stats();
  EXPECT_EQ(s.at("BD"), 2u);
  EXPECT_EQ(s.at("B0"), 1u);
  EXPECT_EQ(s.at("B2"), 3u);
}

TEST_F(FileTransfer, VentraV2GetsNoDeleteAndNoScreenLog) {
  open({"--type", "3"});
  ASSERT_TRUE(writeFile(sim->filesDir() + "/KEEP.DAT", "abc"));
  sim->control("reset-stats", "stats reset");
  QElapsedTimer t;
  t.start();
  lib->ApagarArquivo("KEEP.DAT");
  lib->HabilitaLogTelas(true);
  EXPECT_GE(t.elapsed(), 100);  // only the wait
  EXPECT_TRUE(QFileInfo::exists(sim->filesDir() + "/KEEP.DAT"));
  EXPECT_EQ(sim->stats()["total"], 0u);
}

TEST(FileTransferRules, CrcTimeoutFollowsTheSize) {
  struct {
    qint64 size;
    int timeout;
  } cases[] = {{1000, 10000}, {131072, 10000}, {200000, 20000}, {1048575, 104857}, {2000000, 60000}};
  for (const auto &c : cases) EXPECT_EQ(TClass_VentraLib::CrcTimeoutFor(c.size), c.timeout) << c.size;
}
