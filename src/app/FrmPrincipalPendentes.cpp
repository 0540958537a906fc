// Steps that other parts of the program fill in. Until they land, each one hands over to the
// next step of the startup sequence, so a connected scanner still reaches the buttons. When a
// real step is written, its definition moves to its own file and leaves this one.
#include "app/FrmPrincipal.h"

using S = TTimerControlPrincipalEnum;

// 02: the self-update check. Confirms the running version and goes on to the login.
void TfrmPrincipal::CheckAplicativoAtualizado() {
  EscreveTrace(QStringLiteral("02 - CheckAplicativoAtualizado"));
  FVersaoAppVerificada = true;
  ScheduleStep(S::cpLoginServidor);
}

// 03: the back-office login; the runner turns false into the server message.
bool TfrmPrincipal::LoginServidor() {
  EscreveTrace(QStringLiteral("03 - LoginServidor"));
  return true;
}

// 06: screen-log switch and terms of use.
void TfrmPrincipal::ConfereLogAtivado() {
  EscreveTrace(QStringLiteral("06 - ConfereLogAtivado"));
  ScheduleStep(S::cpEnviaIdeOnline);
}

// 07: program-online report and the workshop registration.
void TfrmPrincipal::EnviaIdeOnline() {
  EscreveTrace(QStringLiteral("07 - EnviaIdeOnline"));
  ScheduleStep(S::cpCarregaCarrossel);
}

// Terms of use window (F8, the terms button).
void TfrmPrincipal::ConferePoliticaDeUso(bool) {}

// Portal report of a click on a carousel picture.
void TfrmPrincipal::ClickPropaganda(const QString &) {}

// The service window's CRC errors report.
void TfrmPrincipal::ObterErrosCRC() {}
