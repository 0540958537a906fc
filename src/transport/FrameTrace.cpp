#include "transport/FrameTrace.h"

#include <QTime>

namespace {
IFrameTrace *g_sink = nullptr;
}

void IFrameTrace::AddConstLine(const QString &s) {
  if (s.contains(QLatin1String("<<< ")))
    AddInLine(s.mid(4));
  else if (s.contains(QLatin1String(">>> ")))
    AddOutLine(s.mid(4));
  else
    AddLine(s);
}

namespace FrameTrace {
IFrameTrace *sink() { return g_sink; }
void setSink(IFrameTrace *s) { g_sink = s; }
QString timeStamp() { return QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")); }

bool isFiltered(const QString &line, const QString &filterText) {
  const qsizetype blank = line.indexOf(QLatin1Char(' '));
  const QString key = line.mid(blank + 1, 2);  // no blank: the first two characters
  return !key.isEmpty() && filterText.contains(key);
}
}  // namespace FrameTrace
