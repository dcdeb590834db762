// Sessions and databases: directories, passwords, settings, table names.
#include <algorithm>

#include "tests/engine/session/TableFixture.h"

namespace ficha::testing {
namespace {

TEST(DataSessionDefaults, SettingsAndDirectories) {
  TDataSession session;
  EXPECT_EQ(session.ProgressSteps(), 20);
  EXPECT_FALSE(session.ForceBufferFlush());
  EXPECT_FALSE(session.StrictChangeDetection());
  EXPECT_EQ(session.LockRetryCount(), 15);
  EXPECT_EQ(session.LockWaitTime(), 100);
  EXPECT_EQ(session.LockProtocol(), TDataLockProtocol::kPessimistic);
  EXPECT_EQ(session.CacheLimits().data_bytes, 16384);
  ASSERT_FALSE(session.StartupDirectory().empty());
  EXPECT_EQ(session.StartupDirectory().back(), '\\');
  EXPECT_EQ(session.PrivateDirectory().back(), '\\');
}

TEST(DataSessionPrivateDirectory, EmptyFallsBackToStartupDirectory) {
  TDataSession session;
  session.SetPrivateDirectory("  /srv/kolbar/tmp  ");
  EXPECT_EQ(session.PrivateDirectory(), "/srv/kolbar/tmp\\");
  session.SetPrivateDirectory("C:\\TEMP\\");
  EXPECT_EQ(session.PrivateDirectory(), "C:\\TEMP\\");
  session.SetPrivateDirectory("");
  EXPECT_EQ(session.PrivateDirectory(), session.StartupDirectory());
}

TEST(DataSessionPasswords, ExactCaseSensitiveList) {
  TDataSession session;
  session.AddPassword("");
  session.AddPassword("Secret");
  session.AddPassword("Secret");
  session.AddPassword("secret");
  EXPECT_EQ(session.Passwords(), (std::vector<std::string>{"Secret", "secret"}));
  EXPECT_TRUE(session.HasPassword("Secret"));
  EXPECT_FALSE(session.HasPassword("SECRET"));
  session.RemovePassword("Secret");
  EXPECT_FALSE(session.HasPassword("Secret"));
  EXPECT_TRUE(session.HasPassword("secret"));
  session.RemoveAllPasswords();
  EXPECT_TRUE(session.Passwords().empty());
}

TEST(DataSessionDirectories, ReusedIgnoringCaseAndTrailingSeparator) {
  TDataSession session;
  TDataDirectory* a = session.OpenDirectory("", "/srv/Kolbar/DADOS");
  TDataDirectory* b = session.OpenDirectory("", "  /SRV/kolbar/dados/ ");
  TDataDirectory* c = session.OpenDirectory("", "\\srv\\kolbar\\Dados\\");
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, c);
  EXPECT_EQ(a->UseCount(), 3);
  EXPECT_EQ(a->Directory(), "/srv/Kolbar/DADOS\\");
  EXPECT_EQ(session.Directories().size(), 1u);

  session.CloseDirectory(a);
  session.CloseDirectory(a);
  EXPECT_EQ(session.Directories().size(), 1u);
  session.CloseDirectory(a);
  EXPECT_TRUE(session.Directories().empty());
  // An unknown database is ignored.
  session.CloseDirectory(a);
}

TEST(DataSessionDirectories, EmptyPathAndMemory) {
  TDataSession session;
  TDataDirectory* startup = session.OpenDirectory("", "");
  EXPECT_EQ(startup->Directory(), session.StartupDirectory());
  TDataDirectory* memory = session.OpenDirectory("mEmOrY", "");
  EXPECT_EQ(memory->Directory(), "");
  EXPECT_NE(memory, startup);
  EXPECT_EQ(session.OpenDirectory("Memory", ""), memory);
  EXPECT_EQ(memory->UseCount(), 2);
}

TEST(TableNameRules, CursorNameAndFileNames) {
  struct Case {
    const char* given;
    const char* cursor_name;
  } cases[] = {
      {"PREFIXO", "PREFIXO"},
      {" Prefixo.dat ", "Prefixo"},
      {"C:\\OUTRO\\PREFIXO.Dat", "PREFIXO"},
      {"/srv/outro/prefixo.DAT", "prefixo"},
      {"TABELA.OLD", "TABELA.OLD"},
  };
  for (const Case& c : cases) EXPECT_EQ(CursorTableName(c.given), c.cursor_name) << c.given;
  EXPECT_EQ(TableFileName("D:\\DADOS\\", "T.dat", kIndexFileExt), "D:\\DADOS\\T.IDX");
  EXPECT_EQ(TableFileName("D:\\DADOS\\", "T.OLD", kBlobFileExt), "D:\\DADOS\\T.OLD.BLB");
}

}  // namespace
}  // namespace ficha::testing
