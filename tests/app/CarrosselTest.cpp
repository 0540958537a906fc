#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/Carrossel.h"

namespace {
// A temporary base folder and a download server that refuses at once.
class CarrosselTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    qputenv("VENTRAIDE_HOME", dir_.path().toUtf8());
    qputenv("VENTRAIDE_DOWNLOAD_URL", "http://127.0.0.1:1/ventraide/files/");
    QDir().mkpath(dir_.filePath("img"));
    TClass_Carrossel::FreeInstance();
  }
  void TearDown() override {
    TClass_Carrossel::FreeInstance();
    qunsetenv("VENTRAIDE_HOME");
    qunsetenv("VENTRAIDE_DOWNLOAD_URL");
  }
  void writeList(const QByteArray &json) {
    QFile f(dir_.filePath("img/mkt.json"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(json);
  }
  QTemporaryDir dir_;
};

const QByteArray kList = R"({"groups":[
  {"iD":1,"items":[{"time":3000,"img":"old1.png","url":"http://a/1"},{"time":4000,"img":"old2.png","url":"http://a/2"}]},
  {"iD":2,"items":[{"time":5000,"img":"new1.png","url":"http://b/1"},{"time":6000,"url":"http://b/none"},
                   {"time":7000,"img":"","url":"http://b/empty"},{"time":8000,"img":"new2.png","url":"http://b/2"}]},
  {"iD":2,"items":[{"time":9000,"img":"new3.jpg","url":"http://b/3"}]}
]})";

TEST_F(CarrosselTest, GroupByEquipmentTypeAndIndexesSkipItemsWithoutPicture) {
  writeList(kList);
  struct Case {
    int tipo;
    std::vector<QString> names;
  };
  const Case cases[] = {
      {2, {"old1.png", "old2.png"}},
      {3, {"old1.png", "old2.png"}},
      {4, {"new1.png", "new2.png", "new3.jpg"}},
      {15, {"new1.png", "new2.png", "new3.jpg"}},
  };
  for (const auto &c : cases) {
    auto &car = TClass_Carrossel::GetInstance();
    car.CarregaListaImg(c.tipo);
    EXPECT_EQ(car.CodEquip(), c.tipo);
    ASSERT_EQ(car.ListaImgs().size(), c.names.size()) << "type " << c.tipo;
    int idx = 1;
    for (const auto &name : c.names) {
      const auto &e = car.ListaImgs().at(idx);
      EXPECT_EQ(e.FID, idx);
      EXPECT_EQ(e.FFileName, dir_.filePath("img/") + name);
      EXPECT_EQ(e.FFileNameHost, "http://127.0.0.1:1/ventraide/files/mkt/" + name);
      ++idx;
    }
  }
  auto &car = TClass_Carrossel::GetInstance();
  car.CarregaListaImg(10);
  EXPECT_EQ(car.ListaImgs().at(2).FTempo, 8000);
  EXPECT_EQ(car.ListaImgs().at(2).FUrl, "http://b/2");
  EXPECT_EQ(car.ListaImgs().at(3).FTempo, 9000);
}

TEST_F(CarrosselTest, BrokenOrMissingListRaisesNothingAndKeepsThePreviousList) {
  auto &car = TClass_Carrossel::GetInstance();
  car.CarregaListaImg(10);  // no file
  EXPECT_TRUE(car.ListaImgs().empty());
  writeList(kList);
  car.CarregaListaImg(10);
  ASSERT_EQ(car.ListaImgs().size(), 3u);
  for (const QByteArray &bad : {QByteArray("{\"groups\":[{\"iD\":2,"), QByteArray("[1,2]"), QByteArray(""),
                               QByteArray("{\"other\":1}")}) {
    writeList(bad);
    car.CarregaListaImg(10);
    EXPECT_EQ(car.ListaImgs().size(), 3u) << bad.constData();
  }
  // wrong member types are skipped, not fatal
  writeList(R"({"groups":[{"iD":"2","items":[]},{"iD":2,"items":{}},{"iD":2,"items":[1,{"img":5},{"img":"ok.png","time":"x"}]}]})");
  car.CarregaListaImg(10);
  ASSERT_EQ(car.ListaImgs().size(), 1u);
  EXPECT_EQ(car.ListaImgs().at(1).FTempo, 0);
}

TEST_F(CarrosselTest, PictureNamesCannotLeaveTheImageFolder) {
  writeList(R"({"groups":[{"iD":2,"items":[{"img":"../../etc/x.png"},{"img":"sub/y.png"},{"img":"..\\z.png"},{"img":"ok.png"}]}]})");
  auto &car = TClass_Carrossel::GetInstance();
  car.CarregaListaImg(10);
  ASSERT_EQ(car.ListaImgs().size(), 1u);
  EXPECT_EQ(car.ListaImgs().at(1).FFileName, dir_.filePath("img/ok.png"));
}

TEST_F(CarrosselTest, ClearingDeletesPicturesAndTheEndDeletesTheList) {
  writeList(kList);
  auto &car = TClass_Carrossel::GetInstance();
  car.CarregaListaImg(10);
  QFile pic(dir_.filePath("img/new1.png"));
  ASSERT_TRUE(pic.open(QIODevice::WriteOnly));
  pic.write("x");
  pic.close();
  EXPECT_TRUE(car.DownloadImagem(1));  // present: not fetched again
  EXPECT_FALSE(car.DownloadImagem(2));  // server unreachable
  EXPECT_FALSE(car.DownloadImagem(9));  // no such entry
  EXPECT_FALSE(QFile::exists(dir_.filePath("img/new2.png")));
  car.LimpaLista();
  EXPECT_TRUE(car.ListaImgs().empty());
  EXPECT_FALSE(QFile::exists(dir_.filePath("img/new1.png")));
  EXPECT_TRUE(QFile::exists(dir_.filePath("img/mkt.json")));
  TClass_Carrossel::FreeInstance();
  EXPECT_FALSE(QFile::exists(dir_.filePath("img/mkt.json")));
}
}  // namespace
