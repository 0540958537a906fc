// The main window's update actions and steps, handed to the update driver.
#include "app/FrmPrincipal.h"
#include "update/UpdateDriver.h"

// The update button: firmware, extra files, logs and service-pack files.
void TfrmPrincipal::IniciaAtualizacao() { TClassUpdateDriver::Of(*this).IniciaAtualizacao(); }

// The service window's map-only run.
void TfrmPrincipal::IniciaMapaCRC() { TClassUpdateDriver::Of(*this).IniciaMapaCRC(); }

bool TfrmPrincipal::ExecutaPassoAtualizacao(TTimerControlPrincipalEnum step) {
  if (TClassUpdateDriver::Of(*this).ExecutaPasso(step)) return true;
  EscreveTrace(QStringLiteral("Passo sem implementação: ") + TimerControlName(step));
  return false;
}
