#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <vector>
#include <zip.h>

#include "app/VentraError.h"
#include "logs/ArchiveHelpers.h"
#include "logs/BrixmontZip.h"

namespace {
void writeFile(const QString &path, const QByteArray &data) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(data);
}

QByteArray readFile(const QString &name) {
  QFile f(name);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

QString errorOf(const std::function<void()> &f) {
  try {
    f();
  } catch (const VentraError &e) {
    return e.text();
  }
  return {};
}

struct Entry {
  QByteArray name;
  QByteArray data;
  bool symlink = false;
};

// Writes an archive with libzip, names exactly as given.
void makeZip(const QString &path, const std::vector<Entry> &entries) {
  int err = 0;
  zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_NE(z, nullptr);
  for (const Entry &e : entries) {
    zip_source_t *src = zip_source_buffer(z, e.data.constData(), zip_uint64_t(e.data.size()), 0);
    const zip_int64_t idx = zip_file_add(z, e.name.constData(), src, ZIP_FL_ENC_RAW);
    ASSERT_GE(idx, 0) << zip_strerror(z);
    if (e.symlink)
      zip_file_set_external_attributes(z, zip_uint64_t(idx), 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16);
  }
  ASSERT_EQ(zip_close(z), 0);
}

QStringList tree(const QString &root) {
  QStringList out;
  QDir dir(root);
  for (const QFileInfo &f : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name)) {
    out << f.fileName();
    if (f.isDir() && !f.isSymLink())
      for (const QString &sub : tree(f.absoluteFilePath())) out << f.fileName() + "/" + sub;
  }
  return out;
}
}  // namespace

TEST(FolderHelpersTest, EmptyingAFolder) {
  QTemporaryDir tmp;
  const QString dir = tmp.filePath("logs");
  writeFile(dir + "/a.log", "a");
  writeFile(dir + "/b.log", "b");
  writeFile(dir + "/sub/c.log", "c");
  // with a sub-folder present only sub-folders go
  ApagarArquivosPasta(dir);
  EXPECT_EQ(tree(dir), QStringList({"a.log", "b.log"}));
  ApagarArquivosPasta(dir);
  EXPECT_TRUE(tree(dir).isEmpty());

  // links are removed, never followed
  writeFile(tmp.filePath("outside/keep.txt"), "keep");
  ASSERT_TRUE(QFile::link(tmp.filePath("outside"), dir + "/link"));
  ASSERT_TRUE(QFile::link(tmp.filePath("outside/keep.txt"), dir + "/filelink"));
  ApagarArquivosPasta(dir);
  EXPECT_TRUE(tree(dir).isEmpty());
  EXPECT_EQ(readFile(tmp.filePath("outside/keep.txt")), "keep");

  EXPECT_EQ(errorOf([] { ApagarArquivosPasta(""); }),
            "Pasta não passada como parâmetro.\rSystem.FilesLib.ApagarArquivosPasta");
  EXPECT_EQ(errorOf([&] { ApagarArquivosPasta(tmp.filePath("none")); }), "Diretório não existe: \r" + tmp.filePath("none"));
}

TEST(FolderHelpersTest, FileSizes) {
  QTemporaryDir tmp;
  writeFile(tmp.filePath("x.bin"), QByteArray(1234, 'x'));
  EXPECT_EQ(TamanhoArquivoPasta(tmp.path(), "x.bin"), 1234);
  EXPECT_EQ(TamanhoArquivoPasta(tmp.path() + "/", "x.bin"), 1234);
  EXPECT_EQ(TamanhoArquivo(tmp.filePath("x.bin")), 1234);
  EXPECT_EQ(errorOf([&] { TamanhoArquivoPasta(tmp.path(), "y.bin"); }), "Arquivo não encontrado: y.bin");
  EXPECT_EQ(errorOf([&] { TamanhoArquivo(tmp.filePath("y.bin")); }), "Arquivo não encontrado: " + tmp.filePath("y.bin"));
}

TEST(ZipTest, PackAndUnpackWithTheEventSequence) {
  QTemporaryDir tmp;
  const QString work = tmp.filePath("TempLogs");
  writeFile(work + "/LOG0001.LOG", QByteArray(70000, 'a'));
  writeFile(work + "/LOG0002.LOG", "second");
  writeFile(work + "/old.zip", "an older archive is packed too");
  writeFile(work + "/sub/ignored.txt", "sub-folders are not packed");
  writeFile(work + "/300123_240307140509.zip", "stale copy of the archive being made");
  CompactarPasta(work, "300123_240307140509.zip");
  CompactarPasta("", "x.zip");  // nothing happens
  CompactarPasta(work, "");

  int err = 0;
  zip_t *z = zip_open(QFile::encodeName(work + "/300123_240307140509.zip").constData(), ZIP_RDONLY, &err);
  ASSERT_NE(z, nullptr);
  QStringList names;
  for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(z, zip_uint64_t(i), 0, &st);
    names << QString::fromUtf8(st.name);
    EXPECT_EQ(st.comp_method, ZIP_CM_DEFLATE);
  }
  zip_discard(z);
  EXPECT_EQ(names, QStringList({"LOG0001.LOG", "LOG0002.LOG", "old.zip"}));

  std::vector<QString> events;
  TClassBrixmontZip unzip;
  unzip.FEvent_OnStartProgress = [&](qint32 total, const QString &name) {
    events.push_back(QString("start %1 %2").arg(total).arg(name));
  };
  unzip.FEvent_OnProgress = [&](qint32 v) { events.push_back(QString("progress %1").arg(v)); };
  unzip.FEvent_OnEndProgress = [&] { events.push_back("end"); };
  const QString dest = tmp.filePath("out/deep");
  unzip.UnzipFileTo(work, "300123_240307140509.zip", dest, false);
  EXPECT_EQ(events, std::vector<QString>({"start 3 300123_240307140509.zip", "progress 1", "progress 2", "progress 3",
                                          "end"}));
  EXPECT_EQ(unzip.FolderPlusFileName(), work + "/300123_240307140509.zip");
  EXPECT_EQ(readFile(dest + "/LOG0001.LOG"), QByteArray(70000, 'a'));
  EXPECT_EQ(readFile(dest + "/old.zip"), "an older archive is packed too");

  // deleting before: the destination's files go first
  writeFile(dest + "/stale.txt", "x");
  unzip.UnzipFileTo(work, "300123_240307140509.zip", dest, true);
  EXPECT_FALSE(QFile::exists(dest + "/stale.txt"));
  EXPECT_EQ(tree(dest).size(), 3);

  EXPECT_EQ(errorOf([&] { unzip.UnzipFileTo(work, "none.zip", dest, false); }),
            "O arquivo ZIP não foi encontrado: none.zip");
}

TEST(ZipTest, SubFoldersAndWindowsSeparatorsAreRecreatedInside) {
  QTemporaryDir tmp;
  const QString archive = tmp.filePath("sp.zip");
  makeZip(archive, {{"menus/", ""}, {"menus/pt/MENU.BIN", "menu"}, {"img\\logo.png", "png"}, {"a..b.txt", "dots"}});
  TClassBrixmontZip unzip;
  unzip.UnzipFileTo(tmp.path(), "sp.zip", tmp.filePath("vt"), false);
  EXPECT_EQ(readFile(tmp.filePath("vt/menus/pt/MENU.BIN")), "menu");
  EXPECT_EQ(readFile(tmp.filePath("vt/img/logo.png")), "png");
  EXPECT_EQ(readFile(tmp.filePath("vt/a..b.txt")), "dots");
}

TEST(ZipTest, HostileEntriesAreRefusedAndNothingIsWritten) {
  struct Case {
    const char *what;
    Entry entry;
  };
  const std::vector<Case> cases{
      {"parent folder", {"../evil.txt", "x"}},
      {"deep parent", {"ok/../../evil.txt", "x"}},
      {"windows parent", {"ok\\..\\..\\evil.txt", "x"}},
      {"absolute", {"/tmp/evil.txt", "x"}},
      {"backslash root", {"\\evil.txt", "x"}},
      {"drive", {"C:evil.txt", "x"}},
      {"drive root", {"c:/evil.txt", "x"}},
      {"symbolic link", {"link", "/etc/passwd", true}},
      {"NUL in the name", {"evil.txtXpng", "x"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    QTemporaryDir tmp;
    const QString archive = tmp.filePath("bad.zip");
    makeZip(archive, {{"first.txt", "harmless"}, c.entry});
    if (QByteArray(c.what) == "NUL in the name") {
      QByteArray raw = readFile(archive);
      raw.replace("evil.txtXpng", QByteArray("evil.txt\0png", 12));  // local and central names
      writeFile(archive, raw);
    }
    int events = 0;
    TClassBrixmontZip unzip;
    unzip.FEvent_OnEndProgress = [&] { ++events; };
    unzip.FEvent_OnProgress = [&](qint32) { ADD_FAILURE() << "entry extracted"; };
    const QString dest = tmp.filePath("a/b/dest");
    const QString err = errorOf([&] { unzip.UnzipFileTo(tmp.path(), "bad.zip", dest, false); });
    EXPECT_TRUE(err.startsWith("Entrada inválida no arquivo ZIP bad.zip")) << err.toStdString();
    EXPECT_EQ(events, 1);  // the end event comes also after an error
    EXPECT_TRUE(tree(dest).isEmpty());
    EXPECT_EQ(tree(tmp.path()), QStringList({"a", "a/b", "a/b/dest", "bad.zip"}));
  }
}

TEST(ZipTest, ALinkInTheDestinationDoesNotLeadOutside) {
  QTemporaryDir tmp;
  QDir().mkpath(tmp.filePath("dest"));
  QDir().mkpath(tmp.filePath("outside"));
  ASSERT_TRUE(QFile::link(tmp.filePath("outside"), tmp.filePath("dest/logs")));
  makeZip(tmp.filePath("a.zip"), {{"logs/x.txt", "x"}});
  TClassBrixmontZip unzip;
  const QString err = errorOf([&] { unzip.UnzipFileTo(tmp.path(), "a.zip", tmp.filePath("dest"), false); });
  EXPECT_TRUE(err.contains("fora do destino")) << err.toStdString();
  EXPECT_TRUE(tree(tmp.filePath("outside")).isEmpty());
}

TEST(ZipTest, AnArchiveInflatingPastTheCapIsRefused) {
  QTemporaryDir tmp;
  const QByteArray zeros(8 * 1024 * 1024, '\0');
  makeZip(tmp.filePath("bomb.zip"), {{"small.txt", "ok"}, {"zeros.bin", zeros}});
  ASSERT_LT(QFileInfo(tmp.filePath("bomb.zip")).size(), 64 * 1024);
  TClassBrixmontZip unzip;
  unzip.SetMaxUnpackedBytes(1024 * 1024);
  const QString err = errorOf([&] { unzip.UnzipFileTo(tmp.path(), "bomb.zip", tmp.filePath("out"), false); });
  EXPECT_TRUE(err.startsWith("Arquivo ZIP excede o limite de 1048576 bytes")) << err.toStdString();
  EXPECT_FALSE(QFile::exists(tmp.filePath("out/zeros.bin")));  // the partial file is removed
  // the same archive under the default cap unpacks
  TClassBrixmontZip fine;
  fine.UnzipFileTo(tmp.path(), "bomb.zip", tmp.filePath("out"), false);
  EXPECT_EQ(QFileInfo(tmp.filePath("out/zeros.bin")).size(), zeros.size());
}

TEST(ZipTest, ABrokenArchiveGivesAClearError) {
  QTemporaryDir tmp;
  writeFile(tmp.filePath("broken.zip"), "PK\x03\x04 this is not really a zip");
  TClassBrixmontZip unzip;
  int ends = 0;
  unzip.FEvent_OnEndProgress = [&] { ++ends; };
  const QString err = errorOf([&] { unzip.UnzipFileTo(tmp.path(), "broken.zip", tmp.filePath("out"), false); });
  EXPECT_TRUE(err.startsWith("Arquivo ZIP inválido: broken.zip")) << err.toStdString();
  EXPECT_EQ(ends, 1);
}
