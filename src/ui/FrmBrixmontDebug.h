#pragma once
#include <QStringList>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

// The trace window: one time-stamped line per event of the shell's trace function. It exists only
// when "debug.txt" is in the base folder; while it lives it is the trace sink.
class TfrmBrixmontDebug : public QWidget {
 public:
  explicit TfrmBrixmontDebug(QWidget *parent = nullptr);
  ~TfrmBrixmontDebug() override;

  void ShowDebug(int Width, int Height, int Left, int Top);
  // Appends Texto as a line; an empty Texto clears the window instead.
  void EscreveDebug(const QString &Texto);
  void EscreveList(const QStringList &lista);
  // Routes EscreveTrace to this window until it is destroyed.
  void InstallAsTraceSink();

  QPlainTextEdit *memDebug = nullptr;
  QPushButton *btnClear = nullptr;

 private:
  bool isSink_ = false;
};
