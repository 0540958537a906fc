#include "app/Idiomas.h"

#include <cstring>

namespace {
// '&' marks the access key.
const TDialogCaptions kCaptions[kQtdIdiomas] = {
    {"Atenção", "Erro", "Informação", "Confirmar", "&Sim", "&Não", "OK", "Cancela", "&Ajuda",
     "Ajuda não disponível", "Ajuda", "&Aborta", "&Teantar", "&Ignorar", "&Tudo", "Não para todos",
     "Sim para todos", "&Fechar"},
    {"Atención", "Error", "Información", "Confirmar", "&Sí", "&No", "OK", "Cancelar", "&Ayuda",
     "No hay ayuda disponible", "Ayuda", "&Abortar", "&Reintente", "&Ignore", "&Todo", "N&o para todos",
     "Sí para todos", "&Cerrar"},
    {"Warning", "Error", "Information", "Confirm", "&Yes", "&No", "OK", "Cancel", "&Help", "No help available",
     "Help", "&Abort", "&Retry", "&Ignore", "&All", "N&o to All", "Yes to &All", "&Close"},
};

struct IdsEntry {
  const char *key;
  const char *text[kQtdIdiomas];  // empty: falls back to PT
};

// Trailing spaces are part of the texts.
const IdsEntry kIds[] = {
    {"IDS_18", {"Atenção, o equipamento já esta atualizado, deseja continuar?",
                "Atención, los equipos ya actualizado, que desea continuar?", ""}},
    {"IDS_22", {"Descompactando ", "Desembalaje", ""}},
    {"IDS_27", {"Calculando...", "Calculando ...", ""}},
    {"IDS_34", {"Atualização terminada!\r\n\r\nDuração: ", "Actualizar terminado!\r\n\r\nDuración: ",
                "Update completed. \r\n\r\nDuration: "}},
    {"IDS_36", {"hh:mm:ss", "hh:mm:ss", "hh:mm:ss"}},
    {"IDS_38", {" v", " v", " v"}},
    {"IDS_64", {"O idioma do scanner foi trocado!", "El lenguaje del escáner fue cambiado!", ""}},
    {"IDS_101", {"Atenção, existem arquivos individuais para serem atualizados, continua?   ",
                 "Advertencia, hay archivos individuales para ser actualizado, todavía?    ",
                 "Warning, there are individual files to be updated, continue?   "}},
    {"IDS_102", {"Atenção, atualização interrompida!   ", "Atención, interrumpido actualización!   ",
                 "Attention, interrupted update!   "}},
};
}  // namespace

const TDialogCaptions &DialogCaptions(int idioma) {
  return (idioma >= 0 && idioma < kQtdIdiomas) ? kCaptions[idioma] : kCaptions[0];
}

void TsiLang::SetActiveLanguage(int idioma) {
  if (idioma >= 0 && idioma < kQtdIdiomas) active_ = idioma;
}

QString TsiLang::GetText(const QString &key) const { return Text(key, active_); }

QString TsiLang::Text(const QString &key, int idioma) {
  if (idioma < 0 || idioma >= kQtdIdiomas) idioma = 0;
  const QByteArray k = key.toLatin1();
  for (const auto &e : kIds) {
    if (std::strcmp(e.key, k.constData()) != 0) continue;
    const char *t = e.text[idioma];
    return QString::fromUtf8((t && *t) ? t : e.text[0]);
  }
  return {};
}

QString CodigoIdioma(int idioma) {
  static const char *codes[kQtdIdiomas] = {"PT", "ES", "EN"};
  return (idioma >= 0 && idioma < kQtdIdiomas) ? QString::fromLatin1(codes[idioma]) : QString();
}
