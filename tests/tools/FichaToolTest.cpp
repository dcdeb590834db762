// The ficha tool run in process on tables written by the engine's file
// classes: listings, argument handling, and check on sound and damaged files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>

#include "common/LittleEndian.h"
#include "engine/data/DataFile.h"
#include "engine/data/FieldTypes.h"
#include "engine/data/PlainTableOwner.h"
#include "engine/data/RecordLayout.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexKey.h"
#include "engine/index/Page.h"
#include "lib/file/FileHandler.h"
#include "tests/tools/ToolFixture.h"
#include "tools/ficha/Ficha.h"
#include "tools/ficha/FieldText.h"
#include "tools/ficha/ToolTable.h"

namespace ficha::testing {

using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(ToolTest, DumpShowsEveryFieldTypeReadably) {
  CreateSample();
  TToolRun run = Run({"dump", Dir(), "SAMPLE"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(
      run.out,
      "#\tID\tNAME\tBORN\tSEEN\tAT\tOK\tS\tW\tBIG\tPRICE\tAMOUNT\tRAW\tNOTES\tPIC\tSEQ\n"
      "1\t1\t\"Ana\"\t2000-01-01\t2000-01-01T10:30:00.500\t12:00:00\ttrue\t-5\t65535\t"
      "-9000000000\t1.5\t12.35\t0x0102ff\t\"Ol\xc3\xa1\\nmundo\"\t0xdead\t1\n"
      "2\t2\t\"\"\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\t\"\"\tNULL\t2\n"
      "4\t4\t\"B\\\"o\\tb\"\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\t\"" +
          std::string(100, 'x') + "\"\tNULL\t4\n");
}

TEST_F(ToolTest, DumpCsvQuotesTextAndLeavesNullsEmpty) {
  CreateSample();
  TToolRun run = Run({"dump", Dir(), "SAMPLE.dat", "--csv"});
  EXPECT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  std::string heading, first, second;
  std::getline(lines, heading);
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_EQ(heading,
            "\"#\",\"ID\",\"NAME\",\"BORN\",\"SEEN\",\"AT\",\"OK\",\"S\",\"W\",\"BIG\",\"PRICE\","
            "\"AMOUNT\",\"RAW\",\"NOTES\",\"PIC\",\"SEQ\"");
  EXPECT_EQ(first,
            "1,1,\"Ana\",2000-01-01,2000-01-01T10:30:00.500,12:00:00,true,-5,65535,-9000000000,"
            "1.5,12.35,\"0102ff\",\"Ol\xc3\xa1");  // the memo's newline ends this line
  EXPECT_EQ(second, "mundo\",\"dead\",1");
  EXPECT_THAT(run.out, HasSubstr("\n2,2,\"\",,,,,,,,,,,\"\",,2\n"));
  EXPECT_THAT(run.out, HasSubstr("\n4,4,\"B\"\"o\tb\","));
}

TEST_F(ToolTest, DumpFollowsTheChosenIndex) {
  CreateSample();
  TToolRun by_name = Run({"dump", Dir(), "SAMPLE", "--index", "byname"});
  EXPECT_EQ(by_name.status, 0) << by_name.err;
  std::vector<std::string> order;
  std::istringstream lines(by_name.out);
  for (std::string line; std::getline(lines, line);)
    order.push_back(line.substr(0, line.find('\t')));
  // "" < "Ana" < "B\"o\tb" in byte order.
  EXPECT_EQ(order, (std::vector<std::string>{"#", "2", "1", "4"}));

  TToolRun primary = Run({"dump", Dir(), "SAMPLE", "--index", ""});
  EXPECT_EQ(primary.status, 0) << primary.err;
  EXPECT_EQ(primary.out, Run({"dump", Dir(), "SAMPLE"}).out);

  TToolRun unknown = Run({"dump", Dir(), "SAMPLE", "--index", "NOPE"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_THAT(unknown.err, HasSubstr("has no index 'NOPE'"));
}

TEST_F(ToolTest, DumpListsEveryActiveRecordOfAManyPageTable) {
  CreateBig();
  auto rows = [](const std::string& listing) {
    std::vector<std::pair<int, std::string>> rows;  // record number, NAME
    std::istringstream lines(listing);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "#\tID\tNAME\tNOTES");
    while (std::getline(lines, line)) {
      size_t tab = line.find('\t');
      size_t name = line.find('\t', tab + 1) + 1;
      rows.emplace_back(std::stoi(line.substr(0, tab)),
                        line.substr(name, line.find('\t', name) - name));
    }
    return rows;
  };
  TToolRun plain = Run({"dump", Dir(), "BIG"});
  EXPECT_EQ(plain.status, 0) << plain.err;
  auto by_number = rows(plain.out);
  std::vector<int> expected;
  for (int i = 1; i <= 600; ++i)
    if (i != 10 && i != 20) expected.push_back(i);
  std::vector<int> numbers;
  for (const auto& row : by_number) numbers.push_back(row.first);
  EXPECT_EQ(numbers, expected);
  EXPECT_EQ(by_number[47], (std::pair<int, std::string>{50, "\"N13\""}));  // 50 % 37

  TToolRun indexed = Run({"dump", Dir(), "BIG", "--index", "BYNAME"});
  EXPECT_EQ(indexed.status, 0) << indexed.err;
  auto by_name = rows(indexed.out);
  ASSERT_EQ(by_name.size(), by_number.size());
  EXPECT_TRUE(std::is_sorted(by_name.begin(), by_name.end(), [](const auto& a, const auto& b) {
    return a.second < b.second || (a.second == b.second && a.first < b.first);
  }));
  std::sort(by_name.begin(), by_name.end());
  EXPECT_EQ(by_name, by_number);
}

TEST_F(ToolTest, InfoShowsHeaderFieldsAndIndexes) {
  CreateSample();
  TToolRun run = Run({"info", Dir(), "SAMPLE"});
  EXPECT_EQ(run.status, 0) << run.err;
  for (const char* text :
       {"Format version: 5", "Description: Tabela de teste", "Language: ANSI Standard (0)",
        "User version: 2.7", "Record slots: 4 (next record number 5)", "Active records: 3",
        "First deleted record: 3", "Last row identifier: 4", "Blob block size: 64",
        "Fields: 15 (blob fields 2)"}) {
    EXPECT_THAT(run.out, HasSubstr(text));
  }
  // Field definitions: number, name, type, subtype, size, decimals, required,
  // case, default, minimum, maximum.
  EXPECT_THAT(run.out, ::testing::ContainsRegex("2 +NAME +string +- +12 +0 +yes +upper"));
  EXPECT_THAT(run.out, ::testing::ContainsRegex("7 +S +smallint +- +0 +0 +no +- +7 +-10 +10"));
  EXPECT_THAT(run.out, ::testing::ContainsRegex("11 +AMOUNT +bcd +- +0 +2"));
  EXPECT_THAT(run.out, ::testing::ContainsRegex("15 +SEQ +integer +autoinc"));
  // Index slots: name, fields, flags, key size, compression, root, depth, keys.
  EXPECT_THAT(run.out,
              ::testing::ContainsRegex("0 +\\(primary\\) +ID +unique +5 +0 +[0-9]+ +1 +3"));
  EXPECT_THAT(run.out, ::testing::ContainsRegex("1 +BYNAME +NAME +- +18 +0 +[0-9]+ +1 +3"));
  EXPECT_THAT(run.out, ::testing::ContainsRegex("31 +Sys Deleted .* 5 +0 +[0-9]+ +1 +4"));
  // ANA, OLÁ, MUNDO; BO, B and the 60-character word of the long memo.
  EXPECT_THAT(run.out,
              ::testing::ContainsRegex("32 +Sys Text +NAME;NOTES +- +68 +3 +[0-9]+ +1 +6"));
}

TEST_F(ToolTest, CheckFindsSoundTablesSound) {
  CreateSample();
  CreateBig();
  TToolRun sample = Run({"check", Dir(), "SAMPLE"});
  EXPECT_EQ(sample.status, 0) << sample.out << sample.err;
  EXPECT_EQ(sample.out, "SAMPLE: sound (3 active records in 4 record slots)\n");
  TToolRun big = Run({"check", Dir(), "BIG"});
  EXPECT_EQ(big.status, 0) << big.out << big.err;
  EXPECT_EQ(big.out, "BIG: sound (598 active records in 600 record slots)\n");
  EXPECT_EQ(BigPrimaryPages().size(), 3u);  // the tree the damage tests rely on
}

TEST_F(ToolTest, CommandsNeverWriteAndLeaveNoLock) {
  CreateSample();
  const std::vector<std::string> files{"SAMPLE.DAT", "SAMPLE.IDX", "SAMPLE.BLB"};
  std::vector<std::string> before;
  for (const auto& f : files) before.push_back(FileContent(f));
  for (const char* command : {"info", "dump", "check"})
    EXPECT_EQ(Run({command, Dir(), "SAMPLE"}).status, 0) << command;
  for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(FileContent(files[i]), before[i]) << files[i];
  // Another program can take the write range of index and blob file again.
  for (const char* f : {"SAMPLE.IDX", "SAMPLE.BLB"}) {
    TFileHandler other;
    other.SetName(Path(f).string());
    other.OpenFile();
    EXPECT_TRUE(other.LockRegion(0xFFFEFFFFLL, 65536)) << f;
    other.UnlockRegion(0xFFFEFFFFLL, 65536);
    other.CloseFile();
  }
}

TEST_F(ToolTest, MissingIndexFileIsReportedNotRebuilt) {
  CreateSample();
  std::filesystem::remove(Path("SAMPLE.IDX"));
  TToolRun run = Run({"check", Dir(), "SAMPLE"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("SAMPLE.IDX"));
  EXPECT_FALSE(std::filesystem::exists(Path("SAMPLE.IDX")));
}

TEST_F(ToolTest, EngineErrorsExitOneWithTheEngineMessage) {
  TToolRun run = Run({"info", Dir(), "NOSUCH"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("Ficha Engine Error # 11010"));
  EXPECT_EQ(run.out, "");
}

TEST_F(ToolTest, ArgumentErrorsExitTwo) {
  CreateSample();
  struct Case {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{}, "no command given"},
      {{"frob", Dir(), "SAMPLE"}, "unknown command 'frob'"},
      {{"info"}, "needs DIR and TABLE"},
      {{"info", Dir()}, "needs DIR and TABLE"},
      {{"info", Dir(), "SAMPLE", "extra"}, "unexpected argument 'extra'"},
      {{"info", Dir(), "SAMPLE", "--csv"}, "unknown option --csv for 'info'"},
      {{"check", Dir(), "SAMPLE", "--index", "X"}, "unknown option --index"},
      {{"dump", Dir(), "SAMPLE", "--index"}, "--index needs a value"},
      {{"dump", Dir(), "SAMPLE", "--password", "a", "--password", "b"}, "given twice"},
      {{"dump", Dir(), "SAMPLE", "--bogus"}, "unknown option --bogus"},
      {{"dump", Dir(), " .dat"}, "the table name is empty"},
  };
  for (const Case& c : cases) {
    TToolRun run = Run(c.args);
    EXPECT_EQ(run.status, 2) << c.message;
    EXPECT_THAT(run.err, HasSubstr(c.message));
    EXPECT_THAT(run.err, HasSubstr("Usage: ficha"));
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(ToolTest, HelpDescribesEachCommand) {
  TToolRun general = Run({"--help"});
  EXPECT_EQ(general.status, 0);
  EXPECT_THAT(general.out, HasSubstr("Usage: ficha COMMAND DIR TABLE"));
  for (const char* command : {"info", "dump", "check"}) {
    TToolRun run = Run({command, "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.out, HasSubstr(std::string("Usage: ficha ") + command + " DIR TABLE"));
  }
  EXPECT_THAT(Run({"dump", "--help"}).out, HasSubstr("--csv"));
}

TEST_F(ToolTest, EncryptedTableNeedsItsPassword) {
  CreateBig("SECRET", 12, "segredo");
  TToolRun refused = Run({"dump", Dir(), "SECRET"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("Ficha Engine Error # 10498"));
  EXPECT_EQ(refused.out, "");

  TToolRun run = Run({"dump", Dir(), "SECRET", "--password", "segredo"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("\n3\t3\t\"N3\"\tNULL\n"));
  EXPECT_THAT(run.out, Not(HasSubstr("\n10\t")));  // deleted
  EXPECT_THAT(FileContent("SECRET.DAT"), Not(HasSubstr("N3")));
  TToolRun check = Run({"check", Dir(), "SECRET", "--password", "segredo"});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_EQ(check.out, "SECRET: sound (11 active records in 12 record slots)\n");
}

TEST_F(ToolTest, ReadLockHoldsAReadSlotInIndexAndBlobFile) {
  CreateBig();
  auto writer_can_lock = [&](const char* file) {
    TFileHandler other;
    other.SetName(Path(file).string());
    other.OpenFile();
    bool locked = other.LockRegion(0xFFFEFFFFLL, 65536);
    if (locked) other.UnlockRegion(0xFFFEFFFFLL, 65536);
    other.CloseFile();
    return locked;
  };
  TToolTable table(Dir() + "/", "BIG", "");
  table.ReadLock();
  EXPECT_FALSE(writer_can_lock("BIG.IDX"));
  EXPECT_FALSE(writer_can_lock("BIG.BLB"));
  table.ReadUnlock();
  EXPECT_TRUE(writer_can_lock("BIG.IDX"));
  EXPECT_TRUE(writer_can_lock("BIG.BLB"));
}

TEST_F(ToolTest, DumpStopsAtALeafLoopInsteadOfHanging) {
  CreateBig();
  std::vector<int32_t> pages = BigPrimaryPages();
  WriteI32("BIG.IDX", int64_t{pages[2]} * 4096 + 7, pages[1]);  // last leaf -> first
  TToolRun run = Run({"dump", Dir(), "BIG", "--index", ""});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("reached twice"));
  EXPECT_THAT(run.err, HasSubstr("ficha check"));
}

TEST_F(ToolTest, CheckComparesTheTextIndexWithTheRecords) {
  CreateSample();
  {
    TPlainTableOwner owner("SAMPLE");
    TDataFile data(&owner);
    data.SetName(Path("SAMPLE.DAT").string());
    data.OpenFile();
    TIndexFile index(&owner);
    index.SetName(Path("SAMPLE.IDX").string());
    index.OpenFile();
    index.SetKeyContext(data.FieldDefs(), TKeyLanguage::Ansi());
    uint8_t key[kSysTextKeySize];
    TKeyDescriptor::BuildTextKey(13, "MUNDO", 1, key);  // row identifier 1 = record 1
    index.DeleteKey(kSysTextIndex, key);
    TKeyDescriptor::BuildTextKey(2, "GONE", 3, key);  // deleted record 3
    index.InsertKey(kSysTextIndex, key, 3);
    index.FlushBuffers(true, false);
    index.CloseFile();
    data.CloseFile();
  }
  TToolRun run = Run({"check", Dir(), "SAMPLE"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "SAMPLE: index 'Sys Text': an entry for the word 'GONE' of field 'NAME' in record 3 "
            "that the record lacks\n"
            "SAMPLE: index 'Sys Text': the word 'MUNDO' of field 'NOTES' in record 1 has no "
            "entry\n"
            "SAMPLE: 2 problems found\n");
}

// ---- damaged files ----

struct Damage {
  const char* name;
  void (*apply)(const ToolTest& t);
  std::vector<const char*> expected;  // each must appear in the report
};

class ToolDamageTest : public ToolTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(ToolDamageTest, CheckReportsTheDamage) {
  CreateBig();
  GetParam().apply(*this);
  const std::vector<std::string> files{"BIG.DAT", "BIG.IDX", "BIG.BLB"};
  std::vector<std::string> before;
  for (const auto& f : files) before.push_back(FileContent(f));
  TToolRun run = Run({"check", Dir(), "BIG"});
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  for (const char* text : GetParam().expected) EXPECT_THAT(run.out, HasSubstr(text)) << run.out;
  EXPECT_THAT(run.out, Not(HasSubstr("sound")));
  EXPECT_THAT(run.out, ::testing::EndsWith("found\n"));
  // The other commands still end in an orderly way.
  for (const char* command : {"info", "dump"}) {
    int status = Run({command, Dir(), "BIG"}).status;
    EXPECT_TRUE(status == 0 || status == 1) << command;
  }
  // Damage is reported, never repaired behind the user's back.
  for (size_t i = 0; i < files.size(); ++i)
    EXPECT_TRUE(FileContent(files[i]) == before[i]) << files[i] << " was written";
}

const Damage kDamages[] = {
    {"HeaderRecordCount",
     [](const ToolTest& t) { t.WriteI32("BIG.DAT", 13, 602); },
     {"BIG: data header: next record number 602, the file holds 600 record slots\n"
      "BIG: 1 problem found\n"}},
    {"FieldOffsetWrong",
     [](const ToolTest& t) {
       t.WriteBytes("BIG.DAT", 127 + 768 + 90, {15, 0});
     },
     {"BIG: field 2 'NAME': offset 15, expected 14"}},
    {"FieldOffsetBeyondRecord",
     [](const ToolTest& t) {
       t.WriteBytes("BIG.DAT", 127 + 768 * 2 + 90, {0xB8, 0x0B});
     },
     {"BIG: field 3 'NOTES': offset 3000, expected 26"}},
    {"HeaderFirstDeleted",
     [](const ToolTest& t) { t.WriteI32("BIG.DAT", 9, 9999); },
     {"first deleted record 9999 lies outside the file"}},
    {"DeletedChainToActiveRecord",
     [](const ToolTest& t) { t.WriteI32("BIG.DAT", ToolTest::BigRecordOffset(20) + 1, 5); },
     {"deleted chain: record 20 links to record 5, which is not deleted",
      "record 10: deleted but not on the deleted chain"}},
    {"DeletedChainLoop",
     [](const ToolTest& t) { t.WriteI32("BIG.DAT", ToolTest::BigRecordOffset(10) + 1, 20); },
     {"deleted chain: record 10 links back to record 20 (the chain loops)\n"
      "BIG: 1 problem found\n"}},
    {"LeafKeysOutOfOrder",
     [](const ToolTest& t) {
       // Swap the first two entries (key 5 bytes + record 4) of the first leaf.
       int64_t leaf = int64_t{t.BigPrimaryPages()[1]} * 4096 + 13;
       std::vector<uint8_t> entries = t.ReadBytes("BIG.IDX", leaf, 18);
       std::rotate(entries.begin(), entries.begin() + 9, entries.end());
       t.WriteBytes("BIG.IDX", leaf, entries);
     },
     {"primary index page", "keys out of order at entry 2"}},
    {"InnerCountWrong",
     [](const ToolTest& t) {
       // Root entry: key 5, child 4, count 4.
       int64_t count_at = int64_t{t.BigPrimaryPages()[0]} * 4096 + 13 + 5 + 4;
       t.WriteI32("BIG.IDX", count_at, t.ReadI32("BIG.IDX", count_at) + 1);
     },
     {"parent's count"}},
    {"LeafEntryCountWrong",
     [](const ToolTest& t) {
       // The first leaf claims one entry less: a record loses its entry.
       int64_t count_at = int64_t{t.BigPrimaryPages()[1]} * 4096 + 1;
       std::vector<uint8_t> count = t.ReadBytes("BIG.IDX", count_at, 2);
       t.WriteBytes("BIG.IDX", count_at, {static_cast<uint8_t>(count[0] - 1), count[1]});
     },
     {"parent's count", "has no entry"}},
    {"SiblingLinkCycle",
     [](const ToolTest& t) {
       std::vector<int32_t> pages = t.BigPrimaryPages();
       t.WriteI32("BIG.IDX", int64_t{pages[2]} * 4096 + 7, pages[1]);
     },
     {"next link"}},
    {"DuplicateKeyInUniqueIndex",
     [](const ToolTest& t) { t.WriteI32("BIG.DAT", ToolTest::BigRecordOffset(7) + 10, 6); },
     {"primary index: the entry of record 7 does not match the record's key",
      "primary index: records 6 and 7 have the same key in a unique index"}},
    {"ActiveRecordCount",
     [](const ToolTest& t) { t.WriteI32("BIG.IDX", 3974, 599); },
     {"index header: active record count 599, the data file holds 598 active records"}},
    {"BlobChainCutShort",
     [](const ToolTest& t) {
       int32_t first =
           t.ReadI32("BIG.DAT", ToolTest::BigRecordOffset(50) + ToolTest::BigNotesValue());
       t.WriteI32("BIG.BLB", 512 + int64_t{first - 1} * 64 + 4, 0);
     },
     {"record 50 field 'NOTES': the blob's chain holds 46 bytes, its first block says 200",
      "belong to no blob and are not free"}},
    {"BlobRevisionWrong",
     [](const ToolTest& t) {
       int64_t ref = ToolTest::BigRecordOffset(100) + ToolTest::BigNotesValue();
       t.WriteI32("BIG.DAT", ref + 4, t.ReadI32("BIG.DAT", ref + 4) + 1);
     },
     {"record 100 field 'NOTES': blob block"}},
    {"BlobSharedByTwoRecords",
     [](const ToolTest& t) {
       t.WriteBytes(
           "BIG.DAT", ToolTest::BigRecordOffset(150) + ToolTest::BigNotesValue(),
           t.ReadBytes("BIG.DAT", ToolTest::BigRecordOffset(100) + ToolTest::BigNotesValue(), 8));
     },
     {"record 150 field 'NOTES': the record links to blob block", "belongs to record 100"}},
    {"BlobFreeChainOutside", [](const ToolTest& t) { t.WriteI32("BIG.BLB", 9, 5000); }, {"blob"}},
    {"IndexFileShort",
     [](const ToolTest& t) {
       std::filesystem::resize_file(t.Path("BIG.IDX"),
                                    std::filesystem::file_size(t.Path("BIG.IDX")) - 4096);
     },
     {"BIG: index header: "}},
    {"BlobFileShort",
     [](const ToolTest& t) {
       std::filesystem::resize_file(t.Path("BIG.BLB"),
                                    std::filesystem::file_size(t.Path("BIG.BLB")) - 64);
     },
     {"BIG: blob header: "}},
    {"IndexFreeChainIntoTheTree",
     [](const ToolTest& t) {
       // First free page of the primary index slot: a leaf in use.
       t.WriteI32("BIG.IDX", 14 + 90, t.BigPrimaryPages()[1]);
     },
     {"primary index page", "on the free chain is in use"}},
    {"LeafPageTypeWrong",
     [](const ToolTest& t) {
       t.WriteBytes("BIG.IDX", int64_t{t.BigPrimaryPages()[2]} * 4096, {kPageInner});
     },
     {"primary index page"}},
    {"EntryDuplicated",
     [](const ToolTest& t) {
       // The second entry of the first leaf becomes a copy of the first.
       int64_t leaf = int64_t{t.BigPrimaryPages()[1]} * 4096 + 13;
       t.WriteBytes("BIG.IDX", leaf + 9, t.ReadBytes("BIG.IDX", leaf, 9));
     },
     {"primary index: record 1 has more than one entry", "primary index: record 2 has no entry"}},
    {"SysDeletedSlotUncovered",
     [](const ToolTest& t) {
       int64_t count_at = int64_t{t.BigIndexPages(kSysDeletedIndex)[1]} * 4096 + 1;
       std::vector<uint8_t> count = t.ReadBytes("BIG.IDX", count_at, 2);
       t.WriteBytes("BIG.IDX", count_at, {static_cast<uint8_t>(count[0] - 1), count[1]});
     },
     {"index 'Sys Deleted'", "has no entry"}},
};

INSTANTIATE_TEST_SUITE_P(Corruptions, ToolDamageTest, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace ficha::testing

namespace ficha::testing {

// Random bytes of all three files overwritten, half of them in headers and
// in page and block headers: every command ends with a status, never with a
// crash or a hang.
TEST_F(ToolTest, RandomDamageNeverCrashes) {
  std::mt19937 random(20261210);
  const char* files[] = {"BIG.DAT", "BIG.IDX", "BIG.BLB"};
  const int rounds = getenv("FICHA_DAMAGE_ROUNDS") ? atoi(getenv("FICHA_DAMAGE_ROUNDS")) : 30;
  auto pick = [&](int64_t low, int64_t high) {
    return std::uniform_int_distribution<int64_t>(low, high)(random);
  };
  for (int round = 0; round < rounds; ++round) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directory(dir_);
    CreateBig();
    const int which = round % 3;
    const std::string file = files[which];
    const int64_t size = static_cast<int64_t>(std::filesystem::file_size(Path(file)));
    for (int k = 0; k < 4; ++k) {
      int64_t at = pick(0, size - 1);
      if (random() % 2 == 0) {
        if (which == 0) at = pick(0, 127 + 768 * 3 - 1);  // header, definitions
        if (which == 1) at = pick(0, size / 4096 - 1) * 4096 + pick(0, 15);
        if (which == 2)
          at = std::min(size - 1, 512 + pick(0, (size - 512) / 64) * 64 + pick(0, 17));
      }
      WriteBytes(file, at, {static_cast<uint8_t>(random())});
    }
    SCOPED_TRACE("round " + std::to_string(round) + " " + file);
    for (const char* command : {"check", "info", "dump"}) {
      TToolRun run = Run({command, Dir(), "BIG"});
      EXPECT_TRUE(run.status == 0 || run.status == 1) << command;
    }
  }
}

}  // namespace ficha::testing

namespace ficha::testing {

// Stored dates before 0001-01-01 and times of day outside 0 .. 86,399,999 ms
// are shown as damaged, not turned into a plausible value.
TEST(FieldTextTest, DamagedDatesAndTimesAreShownAsSuch) {
  struct Case {
    uint8_t type;
    int32_t value;
    const char* text;
  } cases[] = {{kFldTime, 0, "00:00:00"},
               {kFldTime, 45296789, "12:34:56.789"},
               {kFldTime, 86399999, "23:59:59.999"},
               {kFldTime, 86400000, "#invalid-time:86400000"},
               {kFldTime, -1, "#invalid-time:-1"},
               {kFldDate, 1, "0001-01-01"},
               {kFldDate, 730120, "2000-01-01"},
               {kFldDate, 0, "#invalid-date:0"},
               {kFldDate, -5, "#invalid-date:-5"}};
  for (const Case& c : cases) {
    TFieldDef def;
    def.number = 1;
    def.type = c.type;
    def.phys_size = 4;
    def.offset = kRecordPrefixSize;
    std::vector<uint8_t> record(kRecordPrefixSize + 5, 0);
    record[kRecordPrefixSize] = 1;
    PutI32(record.data() + kRecordPrefixSize + 1, c.value);
    EXPECT_EQ(FieldValueText(record.data(), def, TListStyle::kPlain), c.text) << c.value;
  }
}

// Output that cannot be written (disk full) fails the run instead of
// passing a cut listing off as complete.
TEST_F(ToolTest, UnwritableOutputFailsTheRun) {
  struct TFullDisk : std::streambuf {
    int overflow(int) override { return traits_type::eof(); }
  } full;
  std::ostream out(&full);
  std::ostringstream err;
  CreateSample();
  for (const char* command : {"info", "dump", "check"}) {
    err.str("");
    EXPECT_EQ(RunFicha({command, Dir(), "SAMPLE"}, out, err), kFichaExitFailure) << command;
    EXPECT_THAT(err.str(), HasSubstr("the output could not be written")) << command;
    out.clear();
  }
}

}  // namespace ficha::testing
