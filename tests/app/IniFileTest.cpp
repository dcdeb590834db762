#include "app/IniFile.h"

#include <gtest/gtest.h>

#include "common/EngineError.h"
#include "tests/app/TempDir.h"

namespace ficha {
namespace {

TEST(IniFile, MissingFileGivesDefaults) {
  TempDir dir;
  TIniFile ini(dir.File("KOLBAR.INI"));
  EXPECT_EQ(ini.ReadString("Localidade", "DDD", "048"), "048");
  EXPECT_FALSE(ini.ReadBool("Controle", "Inst", false));
  EXPECT_TRUE(ini.ReadBool("Controle", "Inst", true));
  EXPECT_EQ(ini.ReadInteger("Localidade", "DigitosLocais", 8), 8);
  EXPECT_FALSE(dir.Exists("KOLBAR.INI")) << "reading creates nothing";
}

TEST(IniFile, ReadsIgnoreCaseTrimAndTakeTheFirstMatch) {
  TempDir dir;
  dir.Write("kolbar.ini",
            "; comment=ignored\r\n"
            "[ localidade ]\r\n"
            "  ddd =  011  \r\n"
            "Cidade=\"SAO PAULO\"\r\n"
            "ddd=999\r\n"
            "[Controle]\n"
            "Inst=1\n"
            "Hex=$1F\n"
            "Bad=12abc\n"
            "[LOCALIDADE]\n"
            "UF=SP\n");
  // Written with a backslash and in another case: the file layer's rules.
  TIniFile ini(dir.path() + "\\KOLBAR.INI");
  EXPECT_EQ(ini.ReadString("Localidade", "DDD", "048"), "011");
  EXPECT_EQ(ini.ReadString("LOCALIDADE", "cidade", ""), "SAO PAULO");
  EXPECT_TRUE(ini.ReadBool("controle", "INST", false));
  EXPECT_EQ(ini.ReadInteger("Controle", "Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("Controle", "Bad", -1), -1);
  EXPECT_EQ(ini.ReadString("Localidade", "UF", "SC"), "SC") << "second section of a name is unread";
  EXPECT_EQ(ini.ReadString("Localidade", "Inst", "none"), "none");
}

TEST(IniFile, WriteCreatesTheFile) {
  TempDir dir;
  TIniFile ini(dir.File("KOLBAR.INI"));
  ini.WriteBool("Controle", "Inst", false);
  EXPECT_EQ(dir.Read("KOLBAR.INI"), "[Controle]\r\nInst=0\r\n");
  ini.WriteInteger("Localidade", "DigitosLocais", 9);
  EXPECT_EQ(dir.Read("KOLBAR.INI"),
            "[Controle]\r\nInst=0\r\n\r\n[Localidade]\r\nDigitosLocais=9\r\n");
  EXPECT_EQ(ini.ReadInteger("localidade", "digitoslocais", 0), 9);
}

TEST(IniFile, WriteKeepsEveryOtherLine) {
  struct Case {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
  } cases[] = {
      {"replace in place, other lines and line ends untouched",
       "; KOLBAR\r\n[Localidade]\r\nDDD=048\r\n\r\n[controle]\r\n  inst = 1  \r\nX=y\n", "Controle",
       "Inst", "0", "; KOLBAR\r\n[Localidade]\r\nDDD=048\r\n\r\n[controle]\r\nInst=0\r\nX=y\n"},
      {"new key goes after the section's last line, before blank lines",
       "[Localidade]\nDDD=048\n\n[Controle]\nInst=1\n", "localidade", "DigitosLocais", "9",
       "[Localidade]\nDDD=048\nDigitosLocais=9\n\n[Controle]\nInst=1\n"},
      {"new section at the end of a file without final line end", "[Localidade]\r\nDDD=048",
       "Controle", "Inst", "0", "[Localidade]\r\nDDD=048\r\n\r\n[Controle]\r\nInst=0\r\n"},
      {"only the first section of a name is changed", "[A]\nk=1\n[B]\n[a]\nk=2\n", "a", "K", "3",
       "[A]\nK=3\n[B]\n[a]\nk=2\n"},
      {"key in an empty last section", "[A]\nk=1\n[B]", "B", "k", "2", "[A]\nk=1\n[B]\nk=2\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("KOLBAR.INI", c.before);
    TIniFile(dir.File("KOLBAR.INI")).WriteString(c.section, c.key, c.value);
    EXPECT_EQ(dir.Read("KOLBAR.INI"), c.after) << c.name;
  }
}

TEST(IniFile, WriteToAnExistingFileOfAnotherCaseUsesThatFile) {
  TempDir dir;
  dir.Write("kolbar.ini", "[Controle]\nInst=1\n");
  TIniFile(dir.File("KOLBAR.INI")).WriteBool("Controle", "Inst", false);
  EXPECT_FALSE(dir.Exists("KOLBAR.INI")) << "no second file";
  EXPECT_EQ(dir.Read("kolbar.ini"), "[Controle]\nInst=0\n");
}

TEST(IniFile, UnwritableFileIsReported) {
  TempDir dir;
  TIniFile ini(dir.File("missing_dir/KOLBAR.INI"));
  try {
    ini.WriteBool("Controle", "Inst", false);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + dir.File("missing_dir/KOLBAR.INI"));
  }
}

}  // namespace
}  // namespace ficha
