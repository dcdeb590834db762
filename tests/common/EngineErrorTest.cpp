#include "common/EngineError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "common/ErrorCodes.h"

namespace ficha {
namespace {

struct Raised {
  std::string message;
  EngineErrorContext context;
  int code_of = 0;
};

// Raises through the real entry point and catches what comes out.
template <typename... Args>
Raised Raise(int code, Args... args) {
  try {
    RaiseEngineError(code, args...);
  } catch (const EFichaEngineError& e) {
    Raised r;
    r.message = e.Message();
    r.context.code = e.ErrorCode();
    r.context.os_error = e.OSErrorCode();
    r.context.socket_error = e.SocketErrorCode();
    r.context.table = e.ErrorTableName();
    r.context.field = e.ErrorFieldName();
    r.context.index = e.ErrorIndexName();
    r.context.text = e.ErrorText();
    r.context.server = e.ErrorServer();
    r.context.user = e.ErrorUserName();
    r.context.database = e.ErrorDatabaseName();
    r.code_of = EngineErrorCodeOf(e);
    EXPECT_STREQ(e.what(), r.message.c_str());
    return r;
  }
  ADD_FAILURE() << "RaiseEngineError returned";
  return {};
}

TEST(EngineError, MessagesOfTheDocumentedExamples) {
  EXPECT_EQ(Raise(FICHA_OSENOENT, "PREFIXO").message,
            "Ficha Engine Error # 11010 Table 'PREFIXO' does not exist");
  EXPECT_EQ(Raise(FICHA_KEYVIOL, "DIGITO9", "", "KDIGDDD").message,
            "Ficha Engine Error # 9729 Duplicate key found in the index 'KDIGDDD' of the table "
            "'DIGITO9'");
  EXPECT_EQ(Raise(1234, "T").message, "Ficha Engine Error # 1234 An unknown error occurred");
  EXPECT_EQ(Raise(FICHA_REMOTECALLBACK).message,
            "Ficha Engine Error # 11284 An unknown error occurred");
}

TEST(EngineError, PlaceholdersTakeTheNameTheirWordsSay) {
  EngineErrorContext c;
  c.table = "TAB";
  c.field = "FLD";
  c.index = "IDX";
  c.user = "USR";
  c.database = "DB";
  c.server = "SRV";
  c.text = "detail";
  c.os_error = 28;
  struct Case {
    int code;
    const char* text;
  } cases[] = {
      {FICHA_INVALIDIDXDESC,
       "Invalid field number 'FLD' specified in the index 'IDX' for the table 'TAB'"},
      {FICHA_OUTOFRANGE, "Invalid field number or name 'FLD' specified for the table 'TAB'"},
      {FICHA_SEARCHCOLREQD, "Invalid field 'FLD' specified for the index 'IDX' in the table 'TAB'"},
      {FICHA_INDEXLIMIT,
       "Maximum or minimum limits on number of indexes or fields in an index exceeded in the "
       "table 'TAB'"},
      {FICHA_REMOTENOTAUTH,
       "The user 'USR' is not authorized to perform this operation with the database 'DB' on the "
       "database server at 'SRV'"},
      {FICHA_REMOTENODBUSER,
       "The database user 'USR' does not exist for the database 'DB' on the database server at "
       "'SRV'"},
      {FICHA_REMOTEUNKNOWN,
       "An unknown error ('detail') occurred with the connection to the database server at 'SRV', "
       "please check the server log"},
      {FICHA_OSUNKNOWN, "An unknown operating system error 28 occurred with the table 'TAB'"},
      {FICHA_INVALIDFILTER, "Filter error for the table 'TAB' - detail"},
      {FICHA_IMPORTERROR, "An error occurred during the import into the table 'TAB' - detail"},
      {FICHA_EXPORTERROR, "An error occurred during the export from the table 'TAB' - detail"},
      {FICHA_SQLPARSE, "SQL error - detail"},
      {FICHA_OSENOMEM,
       "There is insufficient operating system memory available for the current operation"},
  };
  for (const Case& k : cases) {
    c.code = static_cast<uint16_t>(k.code);
    EXPECT_EQ(EngineErrorMessageText(c), k.text) << k.code;
    EXPECT_EQ(EngineErrorMessage(c),
              "Ficha Engine Error # " + std::to_string(k.code) + " " + k.text);
  }
}

TEST(EngineError, RaiseRecordsTheWholeContext) {
  errno = ENOSPC;
  Raised r = Raise(-FICHA_REMOTENOTAUTH, "t", "f", "i", "x", "srv", "usr", "db");
  EXPECT_EQ(r.context.code, FICHA_REMOTENOTAUTH);
  EXPECT_EQ(r.code_of, FICHA_REMOTENOTAUTH);
  EXPECT_EQ(r.context.os_error, ENOSPC);
  EXPECT_EQ(r.context.socket_error, 0);
  EXPECT_EQ(r.context.table, "t");
  EXPECT_EQ(r.context.field, "f");
  EXPECT_EQ(r.context.index, "i");
  EXPECT_EQ(r.context.text, "x");
  EXPECT_EQ(r.context.server, "srv");
  EXPECT_EQ(r.context.user, "usr");
  EXPECT_EQ(r.context.database, "db");
  EXPECT_EQ(LastEngineErrorCode(), FICHA_REMOTENOTAUTH);
  EXPECT_EQ(LastEngineErrorContext().user, "usr");
}

TEST(EngineError, LongTextsAreCut) {
  std::string sql(400, 'x');
  Raised r = Raise(FICHA_SQLPARSE, "", "", "", sql);
  EXPECT_EQ(r.context.text.size(), kMaxErrorContextText);
  std::string prefix = "Ficha Engine Error # 11949 ";
  ASSERT_EQ(r.message.size(), prefix.size() + kMaxErrorMessageText);
  EXPECT_EQ(r.message.substr(0, prefix.size() + 13), prefix + "SQL error - x");
}

TEST(EngineError, CodeOfForeignExceptionsIsUnknownOsError) {
  EXPECT_EQ(EngineErrorCodeOf(std::runtime_error("x")), FICHA_OSUNKNOWN);
  EXPECT_EQ(EngineErrorCodeOf(EDatabaseError("Database name is missing.")), FICHA_OSUNKNOWN);
  EDatabaseError plain("Session name is missing.");
  EXPECT_EQ(plain.Message(), "Session name is missing.");
}

TEST(EngineError, ConcurrentRaisesDoNotMixTheirTexts) {
  std::vector<std::thread> threads;
  std::vector<int> mixed(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &mixed] {
      std::string table = "T" + std::to_string(t);
      std::string index = "I" + std::to_string(t);
      for (int i = 0; i < 2000; ++i) {
        try {
          RaiseEngineError(FICHA_KEYVIOL, table, "", index);
        } catch (const EFichaEngineError& e) {
          if (e.ErrorTableName() != table || e.ErrorIndexName() != index) ++mixed[t];
        }
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(mixed[t], 0) << t;
}

}  // namespace
}  // namespace ficha
