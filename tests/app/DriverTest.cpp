#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/FormatSettings.h"
#include "app/Program.h"
#include "app/Unit1.h"
#include "components/FichaTb.h"
#include "tests/app/TempDir.h"

namespace ficha {
namespace {

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

RunResult RunInsere9(std::vector<std::string> args) {
  args.insert(args.begin(), "insere9");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  int status = Insere9Main(static_cast<int>(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

// The log as the terminal shows it (UTF-8).
const std::string kConnectedLog =
    "Este programa insere o d\u00edgito 9 nos n\u00fameros de celulares da agenda e \n"
    "nos prefixos celulares do cadastro de prefixos\n"
    "\n"
    "Conectando banco de dados\n"
    "Banco de dados conectado\n";

TEST(Driver, WithoutKolbarIniRunsWithDefaults) {
  TempDir dir;
  std::ostream* out_before = Application().Out;
  RunResult r = RunInsere9({"--dir", dir.path(), "--no-pause"});
  EXPECT_EQ(Application().Out, out_before) << "keeps no stream of the finished run";
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kConnectedLog);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(DDDLocal, "048");
  EXPECT_EQ(DirPrograma, dir.path() + "\\");
  EXPECT_FALSE(dir.Exists("KOLBAR.INI")) << "nothing to write without Inst";
  EXPECT_EQ(FormatSettings().DecimalSeparator, ',');
  EXPECT_EQ(FormatSettings().ShortDateFormat, "dd/mm/yyyy");
  EXPECT_EQ(Sessions().FindSession("KXFICHA"), nullptr) << "the window's components are freed";
}

TEST(Driver, FirstRunFlagIsWrittenBackAsFalse) {
  TempDir dir;
  dir.Write("KOLBAR.INI",
            "[Localidade]\r\nDDD= 48 \r\nCidade=FLORIANOPOLIS\r\n\r\n[Controle]\r\nInst=1\r\n");
  RunResult r = RunInsere9({"--dir=" + dir.path() + "/", "--no-pause"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kConnectedLog);
  EXPECT_EQ(DDDLocal, "48");
  EXPECT_EQ(DirPrograma, dir.path() + "\\");
  EXPECT_EQ(dir.Read("KOLBAR.INI"),
            "[Localidade]\r\nDDD= 48 \r\nCidade=FLORIANOPOLIS\r\n\r\n[Controle]\r\nInst=0\r\n");
}

TEST(Driver, AnErrorEndsTheRunWithTheTitledMessage) {
  // The window's session name is taken: the window cannot be created.
  TFichaSession blocker(nullptr);
  blocker.SetSessionName("KXFICHA");
  TempDir dir;
  RunResult r = RunInsere9({"--dir", dir.path(), "--no-pause"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Insere 9 em prefixos celulares: Session name KXFICHA already exists.\n");
}

TEST(Driver, CommandLine) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err_start;
  } cases[] = {
      {{"--bogus"}, 2, "insere9: unknown argument '--bogus'\n"},
      {{"--dir"}, 2, "insere9: option '--dir' needs a directory\n"},
      {{"--dir="}, 2, "insere9: option '--dir' needs a directory\n"},
      {{"--dir", "/nonexistent/kolbar"}, 2, "insere9: '/nonexistent/kolbar' is not a directory\n"},
      {{"--help"}, 0, ""},
  };
  for (const Case& c : cases) {
    RunResult r = RunInsere9(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0];
    EXPECT_EQ(r.err.substr(0, c.err_start.size()), c.err_start) << c.args[0];
    if (c.status == 0) {
      EXPECT_NE(r.out.find("--no-pause"), std::string::npos);
    }
  }
}

TEST(Driver, MessageBoxTextGetsAFinalDot) {
  struct Case {
    const char* message;
    const char* shown;
  } cases[] = {
      {"Ficha Engine Error # 11010 Table 'PREFIXO' does not exist",
       "T: Ficha Engine Error # 11010 Table 'PREFIXO' does not exist."},
      {"Database name is missing.", "T: Database name is missing."},
      {"ends in a quote 'X'", "T: ends in a quote 'X'"},
      {"ends in a blank ", "T: ends in a blank "},
      {"ends in a comma,", "T: ends in a comma,"},
      {"", "T: "},
  };
  for (const Case& c : cases) EXPECT_EQ(ExceptionBoxText("T", c.message), c.shown) << c.message;
}

TEST(Driver, FormatDate) {
  EXPECT_EQ(FormatDate("dd/mm/yyyy", 2013, 9, 2), "02/09/2013");
  EXPECT_EQ(FormatDate("yyyy-mm-dd", 2012, 7, 29), "2012-07-29");
}

}  // namespace
}  // namespace ficha
