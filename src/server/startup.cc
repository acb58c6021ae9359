#include "server/startup.h"

#include "automation/convert.h"
#include "data/globals.h"
#include "data/message_table.h"
#include "data/registry.h"
#include "platform/env.h"
#include "server/process_state.h"

namespace qrole::server {

namespace {

void RunStartup() {
  ProcessState& p = Process();
  data::FillMessageTable();

  platform::Profile& profile = platform::CurrentEnv()->GetProfile();
  // The buffer of the profile read holds ten characters.
  std::string digits = profile.GetString("intl", "icurrdigits", "0").substr(0, 10);
  NumberFormat format;
  format.decimal = profile.GetString("intl", "sDecimal", ",");
  format.thousand = profile.GetString("intl", "sThousand", ".");
  if (format.decimal.empty()) format.decimal = ",";
  try {
    p.currency_decimals = RoundToInteger(Val(digits));
  } catch (...) {
    p.currency_decimals = 0;
  }
  format.currency_digits = p.currency_decimals;
  SetCurrentNumberFormat(format);

  data::SetProgramDirectory(ToStr(data::LeerRegistro("Directory")));
  p.started = true;
}

}  // namespace

void StartServer() {
  if (!Process().started) RunStartup();
}

void RestartServerForTesting() {
  ResetProcessState();
  RunStartup();
}

}  // namespace qrole::server
