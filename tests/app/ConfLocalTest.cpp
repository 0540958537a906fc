#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <sys/wait.h>
#include <unistd.h>

#include "app/ConfLocal.h"
#include "app/JsonIni.h"
#include "app/JsonLib.h"
#include "app/VentraError.h"

namespace {
QByteArray readFile(const QString &name) {
  QFile f(name);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

void writeFile(const QString &name, const QByteArray &data) {
  QFile f(name);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(data);
}

const char *kFreshLayout =
    R"({"ownsObjects":true,"listHelper":[{"identificador":"CONF","chaves":{"ownsObjects":true,"listHelper":[{"identificador":"CREATION_DT","valor":"2024-03-07 14:05:09.042"}]}}]})";

class ConfLocalTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString file() const { return dir.filePath("conf_local.jsn"); }
  void TearDown() override { TJsonLib::SetBeforeReplaceHook({}); }
};
}  // namespace

TEST(JsonIniTest, WritesTheExactFileLayout) {
  TClass_JsonIni store;
  store.AddString("CONF", "CREATION_DT", "2024-03-07 14:05:09.042");
  EXPECT_EQ(store.ToJson().dump(), kFreshLayout);
}

TEST_F(ConfLocalTest, FreshFileHoldsOnlyTheCreationStamp) {
  TClassConfLocal conf(dir.path());
  const QByteArray text = readFile(file());
  const QString stamp = conf.ConfLocal_ReadString("CONF", "CREATION_DT", "");
  EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}$)").match(stamp).hasMatch()) << stamp.toStdString();
  QByteArray expected(kFreshLayout);
  expected.replace("2024-03-07 14:05:09.042", stamp.toUtf8());
  EXPECT_EQ(text, expected);
  EXPECT_FALSE(QFile::exists(file() + ".tmp"));
}

TEST_F(ConfLocalTest, BackslashesAndAccentedTextSurviveASaveAndALoad) {
  const QString path = "C:\\Program Files\\Ventra\\vt\\";
  const QString lang = QString::fromUtf8("Português / Español – ñ ç ã");
  {
    TClassConfLocal conf(dir.path());
    conf.ConfLocal_AddString("EQUIP", "PATH", path);
    conf.ConfLocal_AddString("EQUIP", "IDIOMA", lang);
    conf.SaveConfFile();
  }
  const QByteArray text = readFile(file());
  // one real backslash is four characters inside the JSON string
  EXPECT_TRUE(text.contains(R"("valor":"C:\\\\Program Files\\\\Ventra\\\\vt\\\\")")) << text.toStdString();
  EXPECT_TRUE(text.contains(lang.toUtf8()));  // UTF-8, not escaped
  EXPECT_FALSE(text.startsWith("\xEF\xBB\xBF"));
  TClassConfLocal again(dir.path());
  EXPECT_EQ(again.ConfLocal_ReadString("equip", "path", ""), path);
  EXPECT_EQ(again.ConfLocal_ReadString("EQUIP", "IDIOMA", ""), lang);
}

TEST(JsonIniTest, NamesAreCaseInsensitiveAndEmptyNamesAreIgnored) {
  TClass_JsonIni store;
  store.AddString("atualizacao", "last_index", "3");
  EXPECT_EQ(store.ReadInteger("ATUALIZACAO", "LAST_INDEX", 0), 3);
  EXPECT_EQ(store[0].FIdentificador, "ATUALIZACAO");
  const std::string before = store.ToJson().dump();
  store.AddString("", "KEY", "x");
  store.AddString("CAT", "", "x");
  EXPECT_EQ(store.ToJson().dump(), before);
  EXPECT_EQ(store.ReadString("", "LAST_INDEX", "dflt"), "dflt");
  EXPECT_EQ(store.ReadString("ATUALIZACAO", "", "dflt"), "dflt");
  EXPECT_EQ(store.ReadString("NOPE", "LAST_INDEX", "dflt"), "dflt");
}

TEST(JsonIniTest, TypedValuesEncodeAndDecode) {
  TClass_JsonIni store;
  store.AddBoolean("A", "T", true);
  store.AddBoolean("A", "F", false);
  store.AddString("A", "LOWER", "true");
  store.AddString("A", "TEXT", "abc");
  store.AddInteger("A", "NEG", -42);
  store.AddUInt64("A", "BIG", 18446744073709551615ull);
  EXPECT_EQ(store.ReadString("A", "T", ""), "TRUE");
  EXPECT_EQ(store.ReadString("A", "F", ""), "FALSE");
  EXPECT_TRUE(store.ReadBoolean("A", "T", false));
  EXPECT_FALSE(store.ReadBoolean("A", "F", true));
  EXPECT_FALSE(store.ReadBoolean("A", "LOWER", true));  // only "TRUE" is true
  EXPECT_TRUE(store.ReadBoolean("A", "MISSING", true));
  EXPECT_EQ(store.ReadInteger("A", "NEG", 0), -42);
  EXPECT_EQ(store.ReadString("A", "NEG", ""), "-42");
  EXPECT_EQ(store.ReadUInt64("A", "BIG", 0), 18446744073709551615ull);
  EXPECT_EQ(store.ReadUInt64("A", "TEXT", 7), 7u);
  EXPECT_THROW(store.ReadInteger("A", "TEXT", 0), VentraError);
  EXPECT_EQ(store.ReadInteger("A", "MISSING", 9), 9);
}

TEST(JsonIniTest, ChangingAValueKeepsTheKeyInPlace) {
  TClass_JsonIni store;
  store.AddString("ATUALIZACAO", "EM_ATUALIZACAO", "TRUE");
  store.AddString("ATUALIZACAO", "LAST_INDEX", "1");
  store.AddString("EQUIP", "NR_SERIE", "300001");
  store.AddString("atualizacao", "em_atualizacao", "FALSE");
  EXPECT_EQ(store.ToJson().dump(),
            R"({"ownsObjects":true,"listHelper":[{"identificador":"ATUALIZACAO","chaves":{"ownsObjects":true,"listHelper":[{"identificador":"EM_ATUALIZACAO","valor":"FALSE"},{"identificador":"LAST_INDEX","valor":"1"}]}},{"identificador":"EQUIP","chaves":{"ownsObjects":true,"listHelper":[{"identificador":"NR_SERIE","valor":"300001"}]}}]})");
}

TEST_F(ConfLocalTest, BrokenFilesAreReplacedAtStart) {
  const std::vector<std::pair<const char *, QByteArray>> cases{
      {"zero bytes", ""},
      {"truncated", R"({"ownsObjects":true,"listHelper":[{"identif)"},
      {"not json", "hello"},
      {"array", "[1,2,3]"},
      {"wrong shape", R"({"ownsObjects":true,"listHelper":[{"identificador":"CONF","chaves":7}]})"},
      {"number value", R"({"ownsObjects":true,"listHelper":[{"identificador":"C","chaves":{"listHelper":[{"identificador":"K","valor":5}]}}]})"},
  };
  for (const auto &[name, content] : cases) {
    SCOPED_TRACE(name);
    writeFile(file(), content);
    TClassConfLocal conf(dir.path());
    ASSERT_NE(conf.Store(), nullptr);
    EXPECT_EQ(conf.Store()->Count(), 1);
    EXPECT_EQ((*conf.Store())[0].FIdentificador, "CONF");
    EXPECT_EQ((*conf.Store())[0].FChaves.Count(), 1);
    EXPECT_EQ(TClass_JsonIni::LoadJsonIniFromFile(file())->ToJson().dump(), conf.Store()->ToJson().dump());
    EXPECT_EQ(readFile(file() + ".bad"), content);  // the broken file is kept aside
  }
}

TEST_F(ConfLocalTest, UnknownContentIsWrittenBackUnchangedAndNullEntriesAreDropped) {
  const QByteArray original =
      R"({"ownsObjects":true,"listHelper":[{"identificador":"CONF","chaves":{"ownsObjects":true,"listHelper":[{"identificador":"CREATION_DT","valor":"2024-03-07 14:05:09.042"},null]}},{"identificador":"OTHER","chaves":{"ownsObjects":true,"listHelper":[{"identificador":"X","valor":"1"}]}},null]})";
  writeFile(file(), original);
  TClassConfLocal conf(dir.path());
  EXPECT_EQ(conf.ConfLocal_ReadString("OTHER", "X", ""), "1");
  conf.SaveConfFile();
  QByteArray expected = original;
  expected.replace(",null", "");
  EXPECT_EQ(readFile(file()), expected);
}

TEST_F(ConfLocalTest, ASaveInterruptedBeforeTheRenameLeavesTheOldFile) {
  TClassConfLocal conf(dir.path());
  conf.ConfLocal_AddInteger("ATUALIZACAO", "LAST_INDEX", 17);
  conf.SaveConfFile();
  const QByteArray good = readFile(file());

  // in-process: the save fails between writing the temporary file and replacing the old one
  conf.ConfLocal_AddInteger("ATUALIZACAO", "LAST_INDEX", 18);
  TJsonLib::SetBeforeReplaceHook([](const QString &) { throw VentraError("disco cheio"); });
  EXPECT_THROW(conf.SaveConfFile(), VentraError);
  TJsonLib::SetBeforeReplaceHook({});
  EXPECT_EQ(readFile(file()), good);

  // a process that dies at that point
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    TJsonLib::SetBeforeReplaceHook([](const QString &) { _exit(3); });
    conf.ConfLocal_AddInteger("ATUALIZACAO", "LAST_INDEX", 19);
    conf.SaveConfFile();
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(readFile(file()), good);
  TClassConfLocal reloaded(dir.path());
  EXPECT_EQ(reloaded.ConfLocal_ReadInteger("ATUALIZACAO", "LAST_INDEX", 0), 17);

  // the next save goes through over the leftover temporary file
  reloaded.ConfLocal_AddInteger("ATUALIZACAO", "LAST_INDEX", 20);
  reloaded.SaveConfFile();
  EXPECT_EQ(TClassConfLocal(dir.path()).ConfLocal_ReadInteger("ATUALIZACAO", "LAST_INDEX", 0), 20);
}

TEST_F(ConfLocalTest, InstanceLivesInTheBaseFolder) {
  qputenv("VENTRAIDE_HOME", dir.path().toUtf8());
  TClassConfLocal::FreeInstance();
  TClassConfLocal &conf = TClassConfLocal::GetInstance();
  EXPECT_EQ(conf.FileName(), QDir(dir.path()).filePath("conf_local.jsn"));
  EXPECT_TRUE(QFile::exists(file()));
  TClassConfLocal::FreeInstance();
  qunsetenv("VENTRAIDE_HOME");
}

TEST(JsonLibTest, LoadsObjectsAndArrays) {
  QTemporaryDir dir;
  const QString missing = dir.filePath("nope.json");
  try {
    TJsonLib::LoadFileToJson(missing);
    FAIL() << "no error for a missing file";
  } catch (const VentraError &e) {
    EXPECT_EQ(e.text(), "Arquivo não encotrado: \r" + missing);
  }
  const QString f = dir.filePath("a.json");
  writeFile(f, "[1,2]");
  EXPECT_THROW(TJsonLib::LoadFileToJson(f), VentraError);
  EXPECT_EQ(TJsonLib::LoadFileToJsonArray(f)->size(), 2u);
  writeFile(f, "\xEF\xBB\xBF[\"x\"]");
  EXPECT_EQ(TJsonLib::LoadFileToJsonArray(f)->at(0), "x");
  writeFile(f, "{\"a\":1}");
  EXPECT_FALSE(TJsonLib::LoadFileToJsonArray(f).has_value());
  EXPECT_EQ(TJsonLib::LoadFileToJson(f)->at("a"), 1);
  writeFile(f, "{\"a\":");
  EXPECT_FALSE(TJsonLib::LoadFileToJson(f).has_value());
  nlohmann::ordered_json j = {{"z", 1}, {"a", "b"}};
  TJsonLib::SaveJsonToFile(j, f);
  EXPECT_EQ(readFile(f), R"({"z":1,"a":"b"})");
}

namespace {
class Record : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString origem MEMBER origem)
  Q_PROPERTY(QString destino MEMBER destino)
 public:
  QString origem, destino;
};
}  // namespace

TEST(JsonLibTest, TrocaCharEspecToJsonEscapesInOrder) {
  EXPECT_EQ(TJsonLib::TrocaCharEspecToJson("C:\\a b/c.txt"), "C%3A%5Ca%20b%2Fc%2Etxt");
  EXPECT_EQ(TJsonLib::TrocaCharEspecToJson("%3A"), "%3A");  // no double escaping of what was there
  Record r;
  r.origem = "x y";
  r.destino = "a.b";
  TJsonLib::TrocaCharEspecToJson(r, {"origem", "", "destino"});
  EXPECT_EQ(r.origem, "x%20y");
  EXPECT_EQ(r.destino, "a.b");  // after the first empty name nothing changes
  QString one = "1:2", two = "3/4";
  TJsonLib::TrocaCharEspecToJson({&one, nullptr, &two});
  EXPECT_EQ(one, "1%3A2");
  EXPECT_EQ(two, "3/4");
}

#include "ConfLocalTest.moc"
