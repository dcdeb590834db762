#include "lib/file/OsPath.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "lib/file/FileList.h"
#include "tests/lib/file/FileTestSupport.h"

namespace ficha {
namespace {

class OsPathTest : public ScratchDir {
 protected:
  void Touch(const std::string& name) { std::ofstream(OsPath(name)) << "x"; }
};

TEST_F(OsPathTest, BackslashesBecomeSlashes) {
  EXPECT_EQ(ToOsPath("C:\\APP\\DADOS\\X.DAT"), "C:/APP/DADOS/X.DAT");
  EXPECT_EQ(ToOsPath("/srv/a/b"), "/srv/a/b");
  EXPECT_EQ(BaseName("a\\b/C.DAT"), "C.DAT");
}

TEST_F(OsPathTest, ResolvesEveryComponentIgnoringCase) {
  mkdir(OsPath("Dados").c_str(), 0777);
  Touch("Dados/Prefixo.DAT");
  EXPECT_EQ(ResolveOsPath(Path("DADOS\\PREFIXO.dat")), OsPath("Dados/Prefixo.DAT"));
  EXPECT_EQ(ResolveOsPath(OsPath("dados/NOVO.DAT")), OsPath("Dados/NOVO.DAT"));
  EXPECT_EQ(ResolveOsPath(OsPath("nada/X")), OsPath("nada/X"));
  EXPECT_TRUE(OsFileExists(Path("dados\\prefixo.dat")));
  EXPECT_FALSE(OsFileExists(Path("dados")));  // a directory is not a file
}

TEST_F(OsPathTest, WildcardSearchFindsRegularFilesIgnoringCase) {
  Touch("A.DAT");
  Touch("b.Dat");
  Touch("C.IDX");
  Touch("semponto");
  mkdir(OsPath("D.DAT").c_str(), 0777);
  EXPECT_EQ(FindFiles(Path("*.dat")), (std::vector<std::string>{"A.DAT", "b.Dat"}));
  EXPECT_EQ(FindFiles(Path("?.IDX")), (std::vector<std::string>{"C.IDX"}));
  EXPECT_EQ(FindFiles(Path("*.*")).size(), 4u);
  EXPECT_EQ(FindFiles(Path("a.dat")), (std::vector<std::string>{"A.DAT"}));
  EXPECT_TRUE(FindFiles(Path("*.SQL")).empty());
  EXPECT_TRUE(FindFiles(Path("NODIR\\*.*")).empty());
  EXPECT_TRUE(FileList().Exists(Path("*.IDX"), false));
}

TEST(WildcardTest, Patterns) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*.SQL", "script.sql", true},
      {"*.SQL", "script.sql.bak", false},
      {"*", "", true},
      {"a*b*c", "aXbYc", true},
      {"a*b*c", "aXbY", false},
      {"?", "ab", false},
      {"*.*", "noext", true},
      {"AGENDA9*.CSV", "agenda911.csv", true},
  };
  for (const Case& c : cases) EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern;
}

}  // namespace
}  // namespace ficha
