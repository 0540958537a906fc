#include <gtest/gtest.h>

#include "app/Idiomas.h"

namespace {
struct IdsCase {
  int number;
  int idioma;
  const char *expected;
};

// Empty translations fall back to PT; trailing spaces are part of the texts.
const IdsCase kIdsCases[] = {
    {18, 0, "Atenção, o equipamento já esta atualizado, deseja continuar?"},
    {18, 1, "Atención, los equipos ya actualizado, que desea continuar?"},
    {18, 2, "Atenção, o equipamento já esta atualizado, deseja continuar?"},
    {22, 2, "Descompactando "},
    {27, 1, "Calculando ..."},
    {34, 2, "Update completed. \r\n\r\nDuration: "},
    {36, 1, "hh:mm:ss"},
    {38, 2, " v"},
    {64, 1, "El lenguaje del escáner fue cambiado!"},
    {64, 2, "O idioma do scanner foi trocado!"},
    {101, 0, "Atenção, existem arquivos individuais para serem atualizados, continua?   "},
    {101, 1, "Advertencia, hay archivos individuales para ser actualizado, todavía?    "},
    {102, 2, "Attention, interrupted update!   "},
};

TEST(Idiomas, IdsTextPerLanguageWithPortugueseFallback) {
  for (const auto &c : kIdsCases) {
    TsiLang lang;
    lang.SetActiveLanguage(c.idioma);
    EXPECT_EQ(lang.IDS(c.number), QString::fromUtf8(c.expected)) << "IDS_" << c.number << " lang " << c.idioma;
    EXPECT_EQ(TsiLang::Text(QStringLiteral("IDS_%1").arg(c.number), c.idioma), QString::fromUtf8(c.expected));
  }
}

TEST(Idiomas, UnknownKeyAndInvalidLanguage) {
  TsiLang lang;
  EXPECT_TRUE(lang.GetText("IDS_9999").isEmpty());
  lang.SetActiveLanguage(2);
  lang.SetActiveLanguage(7);  // ignored
  EXPECT_EQ(lang.ActiveLanguage(), 2);
  lang.SetActiveLanguage(-1);
  EXPECT_EQ(lang.ActiveLanguage(), 2);
  EXPECT_EQ(CodigoIdioma(0), "PT");
  EXPECT_EQ(CodigoIdioma(1), "ES");
  EXPECT_EQ(CodigoIdioma(2), "EN");
  EXPECT_TRUE(CodigoIdioma(3).isEmpty());
}

TEST(Idiomas, DialogCaptionsOfTheThreeLanguages) {
  const auto &pt = DialogCaptions(0);
  const auto &es = DialogCaptions(1);
  const auto &en = DialogCaptions(2);
  EXPECT_STREQ(pt.Warning, "Atenção");
  EXPECT_STREQ(es.Warning, "Atención");
  EXPECT_STREQ(en.Warning, "Warning");
  EXPECT_STREQ(pt.Information, "Informação");
  EXPECT_STREQ(es.Information, "Información");
  EXPECT_STREQ(en.Confirmation, "Confirm");
  EXPECT_STREQ(pt.Yes, "&Sim");
  EXPECT_STREQ(es.Yes, "&Sí");
  EXPECT_STREQ(en.No, "&No");
  EXPECT_STREQ(pt.No, "&Não");
  EXPECT_STREQ(pt.Cancel, "Cancela");
  EXPECT_STREQ(es.Cancel, "Cancelar");
  EXPECT_STREQ(pt.Retry, "&Teantar");
  EXPECT_STREQ(es.NoToAll, "N&o para todos");
  EXPECT_STREQ(en.YesToAll, "Yes to &All");
  EXPECT_STREQ(es.Close, "&Cerrar");
  EXPECT_STREQ(pt.NoHelp, "Ajuda não disponível");
  // any other index gives the PT set
  EXPECT_EQ(&DialogCaptions(5), &pt);
}
}  // namespace
