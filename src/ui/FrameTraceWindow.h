#pragma once
#include <QWidget>

#include "transport/FrameTrace.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The frame trace window: every frame written and read, time-stamped, with IN/OUT filters.
class TfrmDebug : public QWidget, public IFrameTrace {
  Q_OBJECT
 public:
  explicit TfrmDebug(QWidget *parent = nullptr);
  ~TfrmDebug() override;

  void ShowDebug(int width, int height, int top, int left);
  void AddInLine(const QString &s) override;
  void AddOutLine(const QString &s) override;
  void AddLine(const QString &s) override;

  QPlainTextEdit *Memo1 = nullptr;
  QPushButton *Button1 = nullptr;
  QLineEdit *Edit1 = nullptr;  // IN filter
  QLineEdit *Edit2 = nullptr;  // OUT filter

 private:
  void append(const QString &line);
};
