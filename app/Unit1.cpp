#include "app/Unit1.h"

#include <chrono>
#include <thread>

#include "app/Application.h"
#include "app/FormatSettings.h"
#include "app/IniFile.h"
#include "app/ProgramDirectory.h"
#include "lib/literal/Literal.h"

namespace ficha {

std::string DirPrograma;
std::string DDDLocal;

TForm1::TForm1(TComponent* owner) : TComponent(owner) {
  SetName("Form1");
  Caption = kFormCaption;

  Memo1 = new TMemo(this, Application().Out);
  FichaSession = new TFichaSession(this);
  FichaDados = new TFichaDatabase(this);
  TimerAtiva = new TTimer(this);

  // The window's definition, loaded as a whole: settings first, then each
  // component finishes loading (the session starts there).
  for (TComponent* c : Components()) c->BeginLoading();
  Memo1->SetName("Memo1");
  Memo1->Add(kMemoLine1);
  Memo1->Add(kMemoLine2);

  FichaSession->SetName("FichaSession");
  FichaSession->SetSessionName("KXFICHA");
  FichaSession->SetSessionType(TSessionType::stLocal);
  FichaSession->SetForceBufferFlush(true);
  FichaSession->SetLockProtocol(TLockProtocol::lpPessimistic);
  FichaSession->SetLockRetryCount(15);
  FichaSession->SetLockWaitTime(100);
  FichaSession->SetProgressSteps(20);
  FichaSession->SetRemoteType(TRemoteType::rtLAN);
  FichaSession->SetRemoteAddress("127.0.0.1");
  FichaSession->SetRemotePort(12005);
  FichaSession->SetRemoteTrace(false);
  FichaSession->SetActive(true);

  FichaDados->SetName("FichaDados");
  FichaDados->SetDatabaseName("DBDados");
  FichaDados->SetSessionName("KXFICHA");

  TimerAtiva->SetName("TimerAtiva");
  TimerAtiva->SetInterval(100);
  TimerAtiva->SetEnabled(false);
  TimerAtiva->OnTimer = [this] { TimerAtivaTimer(); };

  for (TComponent* c : Components()) c->Loaded();

  FormCreate();
}

void TForm1::FormCreate() {
  DirPrograma = ProgramDirectory();
  FichaSession->SetPrivateDir(DirPrograma);
  FichaDados->SetDirectory(DirPrograma + "DADOS");
  FormatSettings().DecimalSeparator = ',';
  // The engine reads and writes decimal texts (defaults, limits, conversions)
  // with the same process-wide separator.
  SetDecimalSeparator(',');
  FormatSettings().ShortDateFormat = "dd/mm/yyyy";
}

void TForm1::FormShow() { TimerAtiva->SetEnabled(true); }

void TForm1::TimerAtivaTimer() {
  TimerAtiva->SetEnabled(false);
  Memo1->Add("");
  Memo1->Add("Conectando banco de dados");
  Application().ProcessMessages();

  bool inst = false;
  {
    TIniFile ini(DirPrograma + "KOLBAR.INI");
    DDDLocal = ini.ReadString("Localidade", "DDD", "048");
    inst = ini.ReadBool("Controle", "Inst", false);
  }

  FichaDados->Open();
  if (!FichaDados->Connected()) {
    Memo1->Add("Base de dados n\xE3o localizada");
  } else {
    Memo1->Add("Banco de dados conectado");
    Application().ProcessMessages();

    if (inst) {
      // The first-run steps (carrier configuration, structure check, SQL
      // scripts) are not part of this build; they run here, before the flag
      // is cleared, once they exist.
      TIniFile ini(DirPrograma + "KOLBAR.INI");
      ini.WriteBool("Controle", "Inst", false);
    }

    // The schedule table, the insertions and removals of the ninth digit,
    // the NEXTEL prefixes and the status report need the SQL engine; they
    // join the run here when it arrives.
  }

  std::this_thread::sleep_for(std::chrono::milliseconds(Application().FinalPauseMs));
  Close();
}

}  // namespace ficha
