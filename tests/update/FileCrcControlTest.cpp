#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/VentraError.h"
#include "support/ScriptedUi.h"
#include "update/CrcErrorsReport.h"
#include "update/FileCrcControl.h"

namespace {

QString folderOf(const QTemporaryDir &dir) { return dir.path() + "/"; }

void writeText(const QString &path, const QByteArray &text) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
}

QByteArray readText(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString kMaxCrc = QStringLiteral("18446744073709551615");  // 20 digits, above the signed range

}  // namespace

TEST(FileCrcControl, ServicePackFileRoundTripKeepsOrderAndTwentyDigitCrc) {
  QTemporaryDir dir;
  const QString path = folderOf(dir) + "sub/";
  TClassFileCrcControlManager out(path, "FileCrcControl.json");
  out.Add(2048, "M9020.MNU", kMaxCrc);
  out.Add(0, "EMPTY.BIN", "");
  out.Add(4294967295u, "BIG.FLX", "1");
  out.SaveToLocal();  // creates the folder

  const QByteArray text = readText(path + "FileCrcControl.json");
  EXPECT_TRUE(text.contains("\"crc\":\"18446744073709551615\"")) << text.constData();
  EXPECT_FALSE(text.startsWith("\xEF\xBB\xBF"));
  EXPECT_TRUE(text.startsWith("[{\"sz\":2048,\"fn\":\"M9020.MNU\",\"crc\":")) << text.constData();

  TClassFileCrcControlManager in(path, "FileCrcControl.json");
  ASSERT_TRUE(in.LoadCrcFileContent());
  ASSERT_EQ(in.Lista().size(), 3u);
  EXPECT_EQ(in.Lista()[0]->Fn(), "M9020.MNU");
  EXPECT_EQ(in.Lista()[0]->Sz(), 2048u);
  EXPECT_EQ(in.Lista()[0]->Crc(), kMaxCrc);
  EXPECT_EQ(in.Lista()[1]->Crc(), "");
  EXPECT_EQ(in.Lista()[2]->Sz(), 4294967295u);
  EXPECT_EQ(in.ToJsonText(), text);
}

TEST(FileCrcControl, ScannerFileRoundTripWritesAllEightMembers) {
  QTemporaryDir dir;
  TClassFileCrcControlManagerVT out(folderOf(dir), "C", "300123");
  EXPECT_EQ(out.FileName(), "C300123.BIN");
  auto *r = out.Add(10, "A00001.MNU", kMaxCrc);
  r->SetLastSz(9);
  r->SetLastCrc("12345678901234567890");
  r->SetDT_Check("2024-03-05T13:20:11.482Z");
  r->SetDT_Write("2024-03-05T13:20:14.007Z");
  r->SetErro("Falha de gravação");
  out.Add(3, "M000.MNU", "77");
  out.SaveToLocal();

  const QByteArray text = readText(folderOf(dir) + "C300123.BIN");
  // empty strings are written too
  EXPECT_TRUE(
      text.contains("{\"sz\":3,\"fn\":\"M000.MNU\",\"crc\":\"77\",\"lastSz\":0,\"lastCrc\":\"\","
                    "\"dT_Check\":\"\",\"dT_Write\":\"\",\"erro\":\"\"}"))
      << text.constData();

  TClassFileCrcControlManagerVT in(folderOf(dir), "C", "300123");
  in.LoadCrcFileContent();
  ASSERT_EQ(in.Lista().size(), 2u);
  const auto &a = *in.Lista()[0];
  EXPECT_EQ(a.Crc(), kMaxCrc);
  EXPECT_EQ(a.LastSz(), 9u);
  EXPECT_EQ(a.LastCrc(), "12345678901234567890");
  EXPECT_EQ(a.DT_Check(), "2024-03-05T13:20:11.482Z");
  EXPECT_EQ(a.DT_Write(), "2024-03-05T13:20:14.007Z");
  EXPECT_EQ(a.Erro(), "Falha de gravação");
  EXPECT_EQ(in.ToJsonText(), text);
}

TEST(FileCrcControl, ReadingIsLenientAboutMissingMembersBomAndNumericCrc) {
  QTemporaryDir dir;
  writeText(folderOf(dir) + "C300001.BIN",
            "\xEF\xBB\xBF[{\"fn\":\"A\"},{\"fn\":\"B\",\"crc\":18446744073709551615,\"sz\":null},{}]");
  TClassFileCrcControlManagerVT vt(folderOf(dir), "C", "300001");
  vt.LoadCrcFileContent();
  ASSERT_EQ(vt.Lista().size(), 3u);
  EXPECT_EQ(vt.Lista()[0]->Sz(), 0u);
  EXPECT_EQ(vt.Lista()[0]->Crc(), "");
  EXPECT_EQ(vt.Lista()[0]->Erro(), "");
  EXPECT_EQ(vt.Lista()[1]->Crc(), kMaxCrc);
  EXPECT_EQ(vt.Lista()[2]->Fn(), "");
}

TEST(FileCrcControl, MissingFileGivesEmptyListAndShowsStatus) {
  QTemporaryDir dir;
  ScriptedUi ui;
  TClassFileCrcControlManager m(folderOf(dir), "FileCrcControl.json");
  m.Add(1, "X", "1");
  EXPECT_TRUE(m.LoadCrcFileContent());
  EXPECT_TRUE(m.Lista().empty());
  EXPECT_EQ(ui.texts("status"), QStringList{"Carregando arquivo de CRC..."});
}

TEST(FileCrcControl, MalformedFilesRaiseTheReadErrorAndKeepTheList) {
  const char *cases[] = {
      "",                         // empty file
      "not json",                 // garbage
      "[{\"sz\":1,\"fn\":\"A\"",  // truncated
      "{\"sz\":1}",               // an object, not an array
      "[1,2]",                    // elements that are not objects
      "[{\"sz\":\"12\"}]",        // size as text
      "[{\"sz\":-1}]",            // negative size
      "[{\"sz\":4294967296}]",    // beyond 32 bits
      "[{\"fn\":5}]",             // name as number
      "[{\"crc\":-5}]",           // negative CRC
      "[{\"erro\":[]}]",          // wrong type in a scanner member
  };
  for (const char *text : cases) {
    SCOPED_TRACE(text);
    QTemporaryDir dir;
    writeText(folderOf(dir) + "C300001.BIN", text);
    TClassFileCrcControlManagerVT vt(folderOf(dir), "C", "300001");
    vt.Add(7, "KEEP.MNU", "7");
    try {
      vt.LoadCrcFileContent();
      ADD_FAILURE() << "no error raised";
    } catch (const VentraError &e) {
      EXPECT_TRUE(e.text().startsWith("Falha ao ler json: C300001.BIN - ")) << e.text().toStdString();
    }
    ASSERT_EQ(vt.Lista().size(), 1u);
    EXPECT_EQ(vt.GetInfoCrc("KEEP.MNU")->Sz(), 7u);
  }
}

TEST(FileCrcControl, GetInfoCrcIsExactFirstMatchAndFollowsChanges) {
  TClassFileCrcControlManager m("/nowhere/", "FileCrcControl.json");
  auto *first = m.Add(1, "M000.MNU", "1");
  m.Add(2, "M000.MNU", "2");
  m.Add(3, "m000.mnu", "3");
  EXPECT_EQ(m.GetInfoCrc("M000.MNU"), first);
  EXPECT_EQ(m.GetInfoCrc("m000.mnu")->Sz(), 3u);
  EXPECT_EQ(m.GetInfoCrc("M000.mnu"), nullptr);
  EXPECT_EQ(m.GetInfoCrc(""), nullptr);

  m.MutableLista().erase(m.MutableLista().begin());
  EXPECT_EQ(m.GetInfoCrc("M000.MNU")->Sz(), 2u);
  m.MutableLista().back()->SetFn("RENAMED.MNU");
  EXPECT_EQ(m.GetInfoCrc("RENAMED.MNU")->Sz(), 3u);
  EXPECT_EQ(m.GetInfoCrc("m000.mnu"), nullptr);

  TClassFileCrcControlManagerVT vt("/nowhere/", "C", "300001");
  vt.Add(1, "A", "1");
  vt.Clear();
  EXPECT_EQ(vt.GetInfoCrc("A"), nullptr);
  EXPECT_TRUE(vt.Lista().empty());
}

TEST(FileCrcControl, TimeStampIsUtcWithMilliseconds) {
  static const QRegularExpression form(R"(^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z$)");
  const QString ts = CrcControlTimeStamp();
  EXPECT_TRUE(form.match(ts).hasMatch()) << ts.toStdString();
  const QDateTime parsed = QDateTime::fromString(ts, Qt::ISODateWithMs);
  EXPECT_LT(std::abs(parsed.secsTo(QDateTime::currentDateTimeUtc())), 5);
}

TEST(FileCrcControl, ErrorFileHoldsExactlyTheFailedRecordsAndReplacesTheOldOne) {
  QTemporaryDir dir;
  const QString folder = folderOf(dir) + "vt/";
  QDir().mkpath(folder);
  writeText(folder + "E_C300001.BIN", "stale");
  TClassFileCrcControlManagerVT vt(folder, "C", "300001");
  EXPECT_FALSE(vt.ExistemErros());
  vt.Add(1, "OK.MNU", "1");
  vt.Add(2, "BAD1.MNU", "2")->SetErro("Falha de gravação");
  vt.Add(3, "OK2.MNU", "3");
  vt.Add(4, "BAD2.BMP", "4")->SetErro("Arquivo não localizado");
  EXPECT_TRUE(vt.ExistemErros());
  vt.SaveErrorsToLocal();

  TClassFileCrcControlManagerVT errors(folder, "E_C", "300001");
  errors.LoadCrcFileContent();
  ASSERT_EQ(errors.Lista().size(), 2u);
  EXPECT_EQ(errors.Lista()[0]->Fn(), "BAD1.MNU");
  EXPECT_EQ(errors.Lista()[0]->Erro(), "Falha de gravação");
  EXPECT_EQ(errors.Lista()[1]->Fn(), "BAD2.BMP");
  EXPECT_EQ(errors.Lista()[1]->Erro(), "Arquivo não localizado");
}

// The errors report against a scanner whose file system is a folder.
class CrcErrorsReportTest : public ::testing::Test {
 protected:
  QTemporaryDir scannerDir, pcDir;
  QString copyError;
  bool copyFails = false;
  QStringList traces;
  TScannerFileAccess scanner{
      [this](const QString &name) { return uint32_t(QFileInfo(scannerDir.path() + "/" + name).size()); },
      [this](const QString &folder, const QString &name, QString &error) {
        if (copyFails) {
          error = copyError;
          return false;
        }
        return QFile::copy(scannerDir.path() + "/" + name, folder + name);
      }};
  std::function<void(const QString &)> trace = [this](const QString &t) { traces << t; };

  void putOnScanner(const QByteArray &text) { writeText(scannerDir.path() + "/C300001.BIN", text); }
};

TEST_F(CrcErrorsReportTest, ReportsCases) {
  struct Case {
    const char *name;
    QByteArray scannerFile;  // empty: the scanner has no file
    const char *message;
    int errorRecords;  // -1: no error file
  };
  const Case cases[] = {
      {"no file on scanner", "", "Arquivo de CRC não existe!", -1},
      {"one failed write",
       R"([{"sz":1,"fn":"A.MNU","crc":"1","lastSz":0,"lastCrc":"","dT_Check":"","dT_Write":"","erro":""},)"
       R"({"sz":2,"fn":"B.MNU","crc":"2","lastSz":5,"lastCrc":"9","dT_Check":"x","dT_Write":"y","erro":"Falha de gravação"}])",
       "Arquivo de erros gerado com sucesso!", 1},
      {"no errors", R"([{"sz":1,"fn":"A.MNU","crc":"1","erro":""}])", "Não existem erros informados!", -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir pc;
    QFile::remove(scannerDir.path() + "/C300001.BIN");
    if (!c.scannerFile.isEmpty()) putOnScanner(c.scannerFile);
    ScriptedUi ui;
    TClassFileCrcControlManagerVT vt(pc.path() + "/", "C", "300001");
    EXPECT_EQ(acnObterErrosCRC(vt, scanner, trace), c.message);
    EXPECT_EQ(ui.texts("info"), QStringList{c.message});
    EXPECT_FALSE(QFileInfo::exists(pc.path() + "/C300001.BIN"));  // the copy never stays
    const QString errorFile = pc.path() + "/E_C300001.BIN";
    if (c.errorRecords < 0) {
      EXPECT_FALSE(QFileInfo::exists(errorFile));
    } else {
      TClassFileCrcControlManagerVT errors(pc.path() + "/", "E_C", "300001");
      errors.LoadCrcFileContent();
      ASSERT_EQ(int(errors.Lista().size()), c.errorRecords);
      EXPECT_EQ(errors.Lista()[0]->Fn(), "B.MNU");
      EXPECT_EQ(errors.Lista()[0]->LastCrc(), "9");
      EXPECT_EQ(errors.Lista()[0]->DT_Write(), "y");
    }
  }
}

TEST_F(CrcErrorsReportTest, CopyFailureIsTracedWithItsTextOrTheDefault) {
  putOnScanner("[]");
  copyFails = true;
  for (const QString &err : {QString("Timeout lendo bloco"), QString()}) {
    ScriptedUi ui;
    traces.clear();
    copyError = err;
    TClassFileCrcControlManagerVT vt(pcDir.path() + "/", "C", "300001");
    EXPECT_EQ(acnObterErrosCRC(vt, scanner, trace), "");
    EXPECT_EQ(traces, QStringList{err.isEmpty() ? QString("Erro ao obter arquivo") : err});
    EXPECT_EQ(ui.texts("status"), QStringList{"Obtendo informações. Aguarde..."});
    EXPECT_TRUE(ui.texts("info").isEmpty());
  }
}

TEST_F(CrcErrorsReportTest, MalformedScannerFileRaisesAndLeavesNoCopy) {
  putOnScanner("[{\"sz\":");
  ScriptedUi ui;
  TClassFileCrcControlManagerVT vt(pcDir.path() + "/", "C", "300001");
  EXPECT_THROW(acnObterErrosCRC(vt, scanner, trace), VentraError);
  EXPECT_FALSE(QFileInfo::exists(pcDir.path() + "/C300001.BIN"));
}
