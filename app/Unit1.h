// TForm1: the utility's window. It runs once: created (FormCreate), shown
// (FormShow enables the timer), and at the first timer tick TimerAtivaTimer
// performs the whole run, pauses and closes the window.
//
// The run in this build: read KOLBAR.INI, connect the database and report
// the outcome, clear the first-run flag, pause, close. The migration steps
// and the final status report work through SQL statements and join the run
// with the SQL engine.
#pragma once

#include <string>

#include "app/Memo.h"
#include "app/Timer.h"
#include "components/FichaTb.h"

namespace ficha {

// Directory of the program's files, ending in "\" (the directory of the
// executable unless the command line names another). Set by FormCreate.
extern std::string DirPrograma;
// The local area code from KOLBAR.INI, exactly as stored (default "048").
extern std::string DDDLocal;

// Windows-1252 texts of the window.
inline constexpr char kFormCaption[] = "Insere d\xEDgito 9 em prefixos celulares";
inline constexpr char kApplicationTitle[] = "Insere 9 em prefixos celulares";
inline constexpr char kMemoLine1[] =
    "Este programa insere o d\xEDgito 9 nos n\xFAmeros de celulares da agenda e ";
inline constexpr char kMemoLine2[] = "nos prefixos celulares do cadastro de prefixos";

class TForm1 : public TComponent {
 public:
  // Creates the components as the window's definition sets them up (the
  // session KXFICHA starts once loaded), then calls FormCreate. Errors pass
  // on (the session may fail to start).
  explicit TForm1(TComponent* owner);

  std::string Caption;

  // Owned by the form.
  TMemo* Memo1 = nullptr;
  TFichaSession* FichaSession = nullptr;
  TFichaDatabase* FichaDados = nullptr;
  TTimer* TimerAtiva = nullptr;
  // Query1, DBIQuery, DBIQuery2 (query components) and SourceTable (table
  // component) join the form with the query and table components.

  void FormCreate();
  void FormShow();
  void TimerAtivaTimer();

  // Closing ends the message loop and with it the program.
  void Close() { closed_ = true; }
  bool Closed() const { return closed_; }

 private:
  bool closed_ = false;
};

}  // namespace ficha
