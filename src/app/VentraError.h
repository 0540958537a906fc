#pragma once
#include <QString>
#include <stdexcept>

// An error with a user-facing (Portuguese) text; raised only for misuse or the fixed texts callers expect.
class VentraError : public std::runtime_error {
 public:
  explicit VentraError(const QString &text) : std::runtime_error(text.toStdString()), text_(text) {}
  const QString &text() const { return text_; }

 private:
  QString text_;
};
