// The demo-data tool: reproducible output whose lists describe exactly the files it wrote.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "protocol/Crc64.h"
#include "update/FileCrcControl.h"
#include "support/QtPrinters.h"
#include "update/VersionManager.h"

namespace {
int runTool(const QStringList &args) {
  QProcess p;
  p.start(QStringLiteral(VENTRA_DEMO_DATA_PATH), args);
  if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) return -1;
  return p.exitCode();
}

QMap<QString, QByteArray> tree(const QString &root) {
  QMap<QString, QByteArray> files;
  QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    files.insert(QDir(root).relativeFilePath(path), f.readAll());
  }
  return files;
}
}  // namespace

TEST(DemoData, SameOptionsGiveTheSameBytesAndListsMatchTheFiles) {
  QTemporaryDir a, b;
  ASSERT_EQ(runTool({"--out", a.path() + "/files", "--content", a.path() + "/content", "--sp", "52"}), 0);
  ASSERT_EQ(runTool({"--out", b.path() + "/files", "--content", b.path() + "/content", "--sp", "52"}), 0);
  const auto first = tree(a.path()), second = tree(b.path());
  EXPECT_EQ(first.keys(), second.keys());
  EXPECT_TRUE(first == second);

  // every listed service-pack file exists with its size and CRC, and has its archive
  TClassFileCrcControlManager sp(a.path() + "/files/sp/sp52/", "FileCrcControl.json");
  sp.LoadCrcFileContent();
  ASSERT_GT(sp.Lista().size(), 150u);
  for (const auto &e : sp.Lista()) {
    const QByteArray bytes = first.value("content/" + e->Fn());
    EXPECT_EQ(uint32_t(bytes.size()), e->Sz()) << e->Fn().toStdString();
    EXPECT_EQ(QString::number(CalcCRC64Bytes(bytes)), e->Crc()) << e->Fn().toStdString();
    EXPECT_TRUE(first.contains("files/sp/sp52/" + e->Fn().section('.', 0, 0) + ".zip")) << e->Fn().toStdString();
  }

  // firmware: the version record names images that the list and the folder hold
  for (const char *kind : {"oficial", "homolog"}) {
    const QString fw = QString("files/fw/%1/").arg(kind);
    const TVersionInfo info = TVersionInfo::FromJsonText(first.value(fw + "info_fw.json"));
    EXPECT_EQ(info.ServicePack(), 52);
    TClassFileCrcControlManager list(a.path() + "/" + fw, "FileCrcControl.json");
    list.LoadCrcFileContent();
    for (int code = 2; code <= 15; ++code)
      for (const TFirmwareImage &img : FirmwareImagesFor(info, TType_Equipamento(code))) {
        const auto *e = list.GetInfoCrc(img.localName);
        ASSERT_NE(e, nullptr) << kind << " " << img.localName.toStdString();
        EXPECT_EQ(QString::number(CalcCRC64Bytes(first.value(fw + img.localName))), e->Crc());
      }
  }
}

TEST(DemoData, OptionsChangeTheOutputAndBadOptionsAreRefused) {
  QTemporaryDir dir;
  ASSERT_EQ(runTool({"--out", dir.path(), "--fw-version", "600", "--image-size", "64", "--seed", "7"}), 0);
  const TVersionInfo info = TVersionInfo::FromJsonText([&] {
    QFile f(dir.path() + "/fw/homolog/info_fw.json");
    f.open(QIODevice::ReadOnly);
    return f.readAll();
  }());
  EXPECT_EQ(info.fw_v5(), "601");
  EXPECT_EQ(QFileInfo(dir.path() + "/fw/oficial/app_600.bin").size(), 64);
  EXPECT_EQ(runTool({}), 2);
  EXPECT_EQ(runTool({"--out", dir.path(), "--sp", "x"}), 2);
  EXPECT_EQ(runTool({"--out", dir.path(), "--bogus"}), 2);
}
