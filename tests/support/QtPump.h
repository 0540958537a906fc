#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

// Tests that need the Qt event loop create the one application object lazily (the gtest main
// does not), then pump events while they wait for something to happen.
inline void EnsureQtApp() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "ventra-tests";
  static char *argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
}

// Runs pending events until pred() holds or timeoutMs pass; returns pred().
inline bool PumpUntil(const std::function<bool()> &pred, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > timeoutMs) return pred();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QThread::msleep(2);
  }
  return true;
}

// Runs pending events for ms milliseconds.
inline void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}
