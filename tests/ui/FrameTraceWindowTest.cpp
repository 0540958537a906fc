#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/FrameTraceWindow.h"

namespace {
QApplication &app() {
  static int argc = 1;
  static char name[] = "test_ui";
  static char *argv[] = {name, nullptr};
  static QApplication a(argc, argv);
  return a;
}
QStringList lines(const TfrmDebug &w) { return w.Memo1->toPlainText().split('\n', Qt::SkipEmptyParts); }
}  // namespace

TEST(FrameTraceWindow, FiltersInAndOutLinesByCommandAndClears) {
  app();
  TfrmDebug w;
  w.ShowDebug(400, 400, 400, 0);
  EXPECT_EQ(FrameTrace::sink(), &w);
  w.Edit1->setText("72 69");
  w.AddInLine("05 72 00 01");
  w.AddInLine("05 69 00 07");
  w.AddInLine("02 55 80 FF 29");
  w.AddOutLine("01 72 FF 8D ");
  w.AddLine("PURGE ALL");
  w.AddConstLine(">>> 01 69 FF 96 ");
  const QStringList l = lines(w);
  ASSERT_EQ(l.size(), 4) << w.Memo1->toPlainText().toStdString();
  EXPECT_TRUE(l[0].endsWith(" <<< 02 55 80 FF 29"));
  EXPECT_TRUE(l[1].endsWith(" >>> 01 72 FF 8D ")) << "the OUT box is empty";
  EXPECT_TRUE(l[2].endsWith(" ::: PURGE ALL"));
  EXPECT_TRUE(l[3].endsWith(" >>> 01 69 FF 96 "));
  EXPECT_EQ(l[0].indexOf(' '), 12) << "hh:mm:ss.zzz prefix";

  w.Edit2->setText("69");
  w.AddOutLine("01 69 FF 96 ");
  EXPECT_EQ(lines(w).size(), 4);

  w.Button1->click();
  EXPECT_TRUE(w.Memo1->toPlainText().isEmpty());
}
