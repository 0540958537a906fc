#pragma once
#include <QString>

// Destination of the frame trace lines (the frame trace window in the program, a recorder in
// tests). TSerial writes to the installed sink only when its Debug flag is on.
class IFrameTrace {
 public:
  virtual ~IFrameTrace() = default;
  virtual void AddInLine(const QString &s) = 0;
  virtual void AddOutLine(const QString &s) = 0;
  virtual void AddLine(const QString &s) = 0;
  // Routes a line of another component: "<<< " lines in, ">>> " lines out, anything else plain.
  void AddConstLine(const QString &s);
};

namespace FrameTrace {
IFrameTrace *sink();
void setSink(IFrameTrace *sink);  // nullptr: no window
// Local time as hh:nn:ss.zzz.
QString timeStamp();
// True when an in/out line must be hidden: the two characters after the line's first blank
// (the command byte of a frame line) occur in the filter box text.
bool isFiltered(const QString &line, const QString &filterText);
}  // namespace FrameTrace
