#pragma once
#include <QString>

// What the main window shows, kept by the core (TfrmPrincipal) and drawn by a view. Field names
// follow the window's components; every change ends in IMainView::Render.
enum class TPaginaPrincipal { tbsConectar, tbsScanner, tbsMeuVentra };

struct TProgressBarState {
  int Min = 0;
  int Max = 100;
  int Position = 0;
  bool ShowPercentage = false;
  // Percentage of the way from Min to Max, 0..100.
  int Percent() const {
    if (Max <= Min) return 0;
    const long long p = (static_cast<long long>(Position) - Min) * 100 / (static_cast<long long>(Max) - Min);
    return p < 0 ? 0 : (p > 100 ? 100 : int(p));
  }
};

struct TMainScreen {
  QString Caption;
  QString lblConecte;
  // pages: which ones are visible and which is active
  bool tbsConectarVisible = true;
  bool tbsScannerVisible = false;
  bool tbsMeuVentraVisible = false;
  TPaginaPrincipal ActivePage = TPaginaPrincipal::tbsConectar;
  // buttons
  bool bitScannerVisible = false;
  bool bitMeuVentraVisible = false;
  bool bitAtualizarVisible = false;
  bool bitAtualizarEnabled = false;
  bool bitCancelaAtualizacaoVisible = false;
  bool bitTermoUsoVisible = false;
  // scanner panel
  QString lblTipoVT;
  bool lblTipoVTInvalido = false;  // drawn in red
  QString NrSerie;
  QString lblSP = QStringLiteral("Service Pack:");
  QString ServicePack;  // value, ends in " (atualizado)" or " (desatualizado)"
  QString Firmware;     // value, ends in " (atualizado)" or " (desatualizado)"
  bool IdiomaVisible = true;  // lblIdioma and cbIdioma
  int cbIdiomaIndex = -1;     // -1: no selection, empty text
  // this program's service pack and firmware for the model
  QString lblSPIDE = QStringLiteral("Service Pack:");
  QString SPIDEValue;
  QString FirmIDEValue;
  // progress: files and bytes of the current file; a text line above the bars, elapsed time below
  TProgressBarState PBK21, PBK22;
  QString ProgressoTexto;
  QString TempoDecorrido;
  // carousel
  QString imgPropaganda;  // local picture file, empty for none
  bool SetasVisiveis = false;
  int Idioma = 0;  // active language of the translation table
};

// The window side of the main window: draws the state and offers what only a window can do.
class IMainView {
 public:
  virtual ~IMainView() = default;
  virtual void Render(const TMainScreen &screen) = 0;
  // The trace window ("debug.txt"): created once; it installs itself as the trace sink (Log.h).
  virtual void CriaJanelaDebug() {}
  // The frame trace window ("debug_serial.txt").
  virtual void CriaJanelaDebugSerial() {}
  // Modal windows owned by the view: the workshop profile and the service window.
  virtual void ShowMeuVentra() {}
  virtual void ShowPersonaliza() {}
  // Opens a link with the system's default handler.
  virtual void OpenUrl(const QString &) {}
};
