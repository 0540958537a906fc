#pragma once
#include <QString>

// The three user-interface languages, in the order of the translation table.
enum class TIdioma : int { PT = 0, ES = 1, EN = 2 };
inline constexpr int kQtdIdiomas = 3;

// Captions of the standard message dialogs and their buttons for one language.
struct TDialogCaptions {
  const char *Warning, *Error, *Information, *Confirmation;
  const char *Yes, *No, *OK, *Cancel, *Help, *NoHelp, *HelpCaption;
  const char *Abort, *Retry, *Ignore, *All, *NoToAll, *YesToAll, *Close;
};

// Captions for a language index 0..2; any other index gives the Portuguese set.
const TDialogCaptions &DialogCaptions(int idioma);

// The translation table: a language is active at a time (0 PT, 1 ES, 2 EN) and messages are read
// by key ("IDS_18"); an empty translation falls back to the Portuguese text.
class TsiLang {
 public:
  int ActiveLanguage() const { return active_; }  // 0..2
  // Index 0..2 switches the table; any other index is ignored.
  void SetActiveLanguage(int idioma);
  // Text of key (e.g. "IDS_64") in the active language; empty for an unknown key.
  QString GetText(const QString &key) const;
  QString IDS(int number) const { return GetText(QStringLiteral("IDS_%1").arg(number)); }
  // Same lookup for an explicit language.
  static QString Text(const QString &key, int idioma);

 private:
  int active_ = 0;
};

// Two-letter codes shown in the language drop-down, in index order.
QString CodigoIdioma(int idioma);  // "PT", "ES", "EN"; empty for other values
