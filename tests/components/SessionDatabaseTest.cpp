#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/ErrorCodes.h"
#include "components/FichaTb.h"

namespace ficha {
namespace {

// Expects `body` to raise an EDatabaseError (not an engine error) with
// exactly `message`.
template <typename F>
void ExpectDatabaseError(F body, const std::string& message) {
  try {
    body();
    ADD_FAILURE() << "no error, expected: " << message;
  } catch (const EFichaEngineError& e) {
    ADD_FAILURE() << "engine error " << e.Message() << ", expected: " << message;
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), message);
  }
}

// A form-like owner with the utility's session and database, freed after
// each test so that the process-wide session list is left as found.
class SessionFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TComponent>(nullptr);
    session_ = new TFichaSession(form_.get());
    session_->SetName("FichaSession");
    session_->SetSessionName("KXFICHA");
    database_ = new TFichaDatabase(form_.get());
    database_->SetName("FichaDados");
    database_->SetDatabaseName("DBDados");
    database_->SetSessionName("KXFICHA");
    database_->SetDirectory("/nonexistent/kolbar/DADOS");
  }
  void TearDown() override {
    form_.reset();
    EXPECT_EQ(Sessions().Count(), 1u) << "a test left a session behind";
  }

  std::unique_ptr<TComponent> form_;
  TFichaSession* session_ = nullptr;
  TFichaDatabase* database_ = nullptr;
};

TEST_F(SessionFixture, DefaultSessionAndLookupByName) {
  TFichaSession* def = Sessions().DefaultSession();
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->SessionName(), "Default");
  EXPECT_EQ(def->Owner(), nullptr);
  EXPECT_EQ(Sessions().FindSession(""), def);
  EXPECT_EQ(Sessions().OpenSession(""), def);
  EXPECT_EQ(Sessions().FindSession("kxficha"), session_);
  EXPECT_EQ(Sessions().FindSession("NOSUCH"), nullptr);
  ExpectDatabaseError([] { Sessions().OpenSession("NOSUCH"); },
                      "Session name NOSUCH is not valid.");
}

TEST_F(SessionFixture, MissingDirectoryStillConnects) {
  database_->Open();
  EXPECT_TRUE(database_->Connected());
  EXPECT_EQ(database_->Session(), session_);
  EXPECT_TRUE(session_->Active());
  EXPECT_TRUE(Sessions().DefaultSession()->Active()) << "default session starts first";
  ASSERT_NE(database_->Engine(), nullptr);
  EXPECT_EQ(database_->Directory(), "\\nonexistent\\kolbar\\DADOS");
  EXPECT_EQ(database_->Engine()->Directory(), "\\nonexistent\\kolbar\\DADOS\\");
  database_->Close();
  EXPECT_FALSE(database_->Connected());
}

TEST_F(SessionFixture, EmptySessionNameUsesDefaultSessionWithDefaultSettings) {
  session_->SetLockRetryCount(3);
  session_->SetLockWaitTime(7);
  TFichaDatabase* db = new TFichaDatabase(form_.get());
  db->SetDatabaseName("Other");
  db->Open();
  TFichaSession* def = Sessions().DefaultSession();
  EXPECT_EQ(db->Session(), def);
  EXPECT_EQ(def->LockRetryCount(), 15);
  EXPECT_EQ(def->LockWaitTime(), 100);
  EXPECT_EQ(def->LockProtocol(), TLockProtocol::lpPessimistic);
  ASSERT_NE(def->Engine(), nullptr);
  EXPECT_EQ(def->Engine()->LockRetryCount(), 15);
}

TEST_F(SessionFixture, PathDatabaseOfADatasetIsTemporaryAndKeptConnected) {
  TComponent* dataset = new TComponent(form_.get());
  TFichaDatabase* db = session_->OpenDatabase("/srv/kolbar/DADOS", dataset);
  ASSERT_NE(db, nullptr);
  EXPECT_TRUE(db->Temporary());
  EXPECT_EQ(db->Owner(), session_);
  EXPECT_EQ(db->DatabaseName(), "\\srv\\kolbar\\DADOS");
  EXPECT_EQ(db->Directory(), "\\srv\\kolbar\\DADOS");
  EXPECT_EQ(db->Engine()->Directory(), "\\srv\\kolbar\\DADOS\\");
  EXPECT_EQ(db->RefCount(), 1);
  // A second dataset on the same path shares it.
  EXPECT_EQ(session_->OpenDatabase("/srv/kolbar/DADOS", dataset), db);
  EXPECT_EQ(db->RefCount(), 2);
  session_->CloseDatabase(db);
  session_->CloseDatabase(db);
  EXPECT_EQ(db->RefCount(), 0);
  EXPECT_TRUE(db->Connected()) << "KeepConnections keeps it";
  EXPECT_EQ(session_->FindDatabase("/srv/kolbar/DADOS"), db);
  // Stopping the session frees temporary databases and closes the others.
  database_->Open();
  session_->SetActive(false);
  EXPECT_EQ(session_->FindDatabase("/srv/kolbar/DADOS"), nullptr);
  EXPECT_FALSE(database_->Connected());
  EXPECT_EQ(session_->FindDatabase("DBDados"), database_);
}

TEST_F(SessionFixture, TemporaryDatabaseWithoutKeepConnectionsIsFreedAtLastClose) {
  session_->SetKeepConnections(false);
  TFichaDatabase* db = session_->OpenDatabase("/srv/other", nullptr);
  EXPECT_FALSE(db->KeepConnection());
  session_->CloseDatabase(db);
  EXPECT_EQ(session_->FindDatabase("/srv/other"), nullptr);
}

TEST_F(SessionFixture, DatasetFindsTheNamedDatabaseComponent) {
  database_->Open();
  TFichaDatabase* db = session_->OpenDatabase("DBDADOS", nullptr);
  EXPECT_EQ(db, database_);
  EXPECT_EQ(db->RefCount(), 1);
  database_->SetKeepConnection(false);
  EXPECT_TRUE(database_->Connected()) << "still has a user";
  session_->CloseDatabase(db);
  EXPECT_FALSE(database_->Connected());
  EXPECT_EQ(session_->FindDatabase("DBDados"), database_) << "not temporary: closed, not freed";
}

TEST_F(SessionFixture, ProgressStepsAbove100AreIgnored) {
  session_->SetProgressSteps(50);
  session_->SetProgressSteps(101);
  EXPECT_EQ(session_->ProgressSteps(), 50);
  session_->Open();
  session_->SetProgressSteps(101);
  EXPECT_EQ(session_->ProgressSteps(), 50);
  EXPECT_EQ(session_->Engine()->ProgressSteps(), 50);
  session_->SetProgressSteps(100);
  EXPECT_EQ(session_->Engine()->ProgressSteps(), 100);
}

TEST_F(SessionFixture, SettingsReachTheEngineSession) {
  session_->SetPrivateDir("  /tmp/priv  ");
  session_->SetForceBufferFlush(true);
  session_->SetLockProtocol(TLockProtocol::lpOptimistic);
  session_->SetLockRetryCount(9);
  session_->Open();
  EngineSession* e = session_->Engine();
  ASSERT_NE(e, nullptr);
  EXPECT_NE(e, Sessions().DefaultSession()->Engine()) << "own engine session";
  EXPECT_EQ(e->PrivateDirectory(), "/tmp/priv\\");
  EXPECT_TRUE(e->ForceBufferFlush());
  EXPECT_EQ(e->LockProtocol(), EngineLockProtocol::kOptimistic);
  EXPECT_EQ(e->LockRetryCount(), 9);
  EXPECT_TRUE(e->Local());
  EXPECT_EQ(e->CacheLimits(), kDefaultEngineCacheLimits);
  session_->SetLockWaitTime(250);
  session_->SetStrictChangeDetection(true);
  session_->SetPrivateDir("/tmp/other\\");
  EXPECT_EQ(e->LockWaitTime(), 250);
  EXPECT_TRUE(e->StrictChangeDetection());
  EXPECT_EQ(e->PrivateDirectory(), "/tmp/other\\");
  EXPECT_EQ(session_->PrivateDir(), "/tmp/other\\");
}

TEST_F(SessionFixture, ActiveSessionRefusesNameAndRemoteChanges) {
  session_->Open();
  const std::string active = "Cannot perform this operation on an active session.";
  ExpectDatabaseError([&] { session_->SetSessionName("X"); }, active);
  ExpectDatabaseError([&] { session_->SetSessionType(TSessionType::stRemote); }, active);
  ExpectDatabaseError([&] { session_->SetRemotePort(1); }, active);
  ExpectDatabaseError([&] { session_->SetAutoSessionName(true); }, active);
  session_->SetRemoteTrace(true);  // allowed while active
  EXPECT_EQ(session_->SessionName(), "KXFICHA");
  EXPECT_EQ(session_->RemotePort(), 12005);
  EXPECT_EQ(session_->RemoteAddress(), "127.0.0.1");
}

TEST_F(SessionFixture, SessionNameRules) {
  ExpectDatabaseError([&] { session_->SetSessionName("default"); },
                      "Session name default already exists.");
  TFichaSession unnamed(nullptr);
  ExpectDatabaseError([&] { unnamed.Open(); }, "Session name is missing.");
  EXPECT_FALSE(unnamed.Active());
}

TEST_F(SessionFixture, RemoteSessionCannotStart) {
  session_->SetSessionType(TSessionType::stRemote);
  session_->SetRemoteHost("server1");
  try {
    session_->Open();
    FAIL() << "a remote session started";
  } catch (const EFichaEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), FICHA_REMOTECONNECT);
    EXPECT_EQ(e.ErrorServer(), "server1");
  }
  EXPECT_FALSE(session_->Active());
}

TEST_F(SessionFixture, AutoSessionName) {
  session_->SetAutoSessionName(true);
  EXPECT_EQ(session_->SessionName(), "FichaSession_1");
  EXPECT_EQ(database_->SessionName(), "FichaSession_1");
  TFichaDatabase* later = new TFichaDatabase(form_.get());
  EXPECT_EQ(later->SessionName(), "FichaSession_1") << "inserted later";
  ExpectDatabaseError([&] { session_->SetSessionName("Y"); },
                      "Cannot perform this operation on the active auto-session.");
  ExpectDatabaseError([&] { new TFichaSession(form_.get()); }, "This auto-session already exists.");

  // A second owner's auto-session takes the next number; freeing the first
  // number makes it available again.
  TComponent other_form(nullptr);
  auto* other = new TFichaSession(&other_form);
  other->SetName("S");
  other->SetAutoSessionName(true);
  EXPECT_EQ(other->SessionName(), "S_2");
  session_->SetAutoSessionName(false);
  TComponent third_form(nullptr);
  auto* third = new TFichaSession(&third_form);
  third->SetName("T");
  third->SetAutoSessionName(true);
  EXPECT_EQ(third->SessionName(), "T_1");
}

TEST_F(SessionFixture, AutoSessionNeedsToBeTheOwnersOnlySession) {
  new TFichaSession(form_.get());
  ExpectDatabaseError([&] { session_->SetAutoSessionName(true); },
                      "The active auto-session can be the only active session.");
  EXPECT_FALSE(session_->AutoSessionName());
}

TEST_F(SessionFixture, LoadingRemembersActiveUntilLoaded) {
  TComponent form(nullptr);
  auto* s = new TFichaSession(&form);
  s->BeginLoading();
  s->SetName("Loaded");
  s->SetSessionName("LOADED");
  s->SetActive(true);
  EXPECT_FALSE(s->Active());
  s->Loaded();
  EXPECT_TRUE(s->Active());
}

TEST(Components, DatabaseLoadedBeforeItsSessionConnects) {
  TComponent form(nullptr);
  auto* db = new TFichaDatabase(&form);
  auto* s = new TFichaSession(&form);
  db->BeginLoading();
  s->BeginLoading();
  db->SetName("Dados");
  db->SetDatabaseName("LOADDB");
  db->SetSessionName("LOADSESSION");
  db->SetConnected(true);
  s->SetName("Sessao");
  s->SetSessionName("LOADSESSION");
  s->SetActive(true);
  db->Loaded();
  EXPECT_TRUE(db->Connected());
  EXPECT_TRUE(s->Active());
  s->Loaded();
  EXPECT_TRUE(s->Active());
  EXPECT_EQ(db->Session(), s);
}

TEST_F(SessionFixture, DatabaseChecksAtOpen) {
  TFichaDatabase* unnamed = new TFichaDatabase(form_.get());
  ExpectDatabaseError([&] { unnamed->Open(); }, "Database name is missing.");

  TFichaDatabase* path = new TFichaDatabase(form_.get());
  path->SetDatabaseName("C:/KOLBAR/DADOS");
  ExpectDatabaseError([&] { path->Open(); }, "Database name C:\\KOLBAR\\DADOS is not valid.");
  EXPECT_EQ(path->DatabaseName(), "") << "cleared by the failed name check";

  database_->Open();
  TFichaDatabase* twin = new TFichaDatabase(form_.get());
  twin->SetDatabaseName("dbdados");
  twin->SetSessionName("KXFICHA");
  ExpectDatabaseError([&] { twin->Open(); }, "Database name dbdados already exists.");
  EXPECT_FALSE(twin->Connected());

  TFichaDatabase* ghost = new TFichaDatabase(form_.get());
  ghost->SetDatabaseName("X");
  ghost->SetSessionName("NOSUCH");
  ExpectDatabaseError([&] { ghost->Open(); }, "Session name NOSUCH is not valid.");
}

TEST_F(SessionFixture, ConnectedDatabaseRefusesChanges) {
  database_->Open();
  const std::string open = "Cannot perform this operation on an open database.";
  ExpectDatabaseError([&] { database_->SetDatabaseName("X"); }, open);
  ExpectDatabaseError([&] { database_->SetDirectory("/x"); }, open);
  ExpectDatabaseError([&] { database_->SetRemoteDatabase("x"); }, open);
  ExpectDatabaseError([&] { database_->SetSessionName(""); }, open);
  EXPECT_EQ(database_->DatabaseName(), "DBDados");
}

TEST_F(SessionFixture, TemporaryDatabaseGivesWayToAComponentOfTheSameName) {
  TFichaDatabase* temp = session_->OpenDatabase("DBDados", nullptr);
  EXPECT_TRUE(temp->Temporary());
  session_->CloseDatabase(temp);
  database_->Open();
  EXPECT_EQ(session_->FindDatabase("DBDados"), database_);
  EXPECT_EQ(session_->Databases().size(), 1u);
}

TEST_F(SessionFixture, Transactions) {
  ExpectDatabaseError([&] { database_->StartTransaction(); },
                      "Cannot perform this operation on a closed database.");
  ExpectDatabaseError([&] { database_->Commit(); },
                      "Cannot perform this operation on a closed database.");
  database_->Open();
  ExpectDatabaseError([&] { database_->Commit(); }, "Database DBDados has no active transaction.");
  ExpectDatabaseError([&] { database_->Rollback(); },
                      "Database DBDados has no active transaction.");
  database_->StartTransaction();
  ExpectDatabaseError([&] { database_->StartTransaction(); },
                      "Database DBDados already has an active transaction.");
  EXPECT_TRUE(database_->InTransaction()) << "the first transaction stays open";
  database_->Commit();
  EXPECT_FALSE(database_->InTransaction());
  database_->StartTransaction();
  database_->Rollback();
  EXPECT_FALSE(database_->InTransaction());
}

TEST_F(SessionFixture, SameDirectoryIgnoringCaseSharesTheEngineDatabase) {
  database_->Open();
  TFichaDatabase* other = new TFichaDatabase(form_.get());
  other->SetDatabaseName("Other");
  other->SetSessionName("KXFICHA");
  other->SetDirectory("/NONEXISTENT/Kolbar/dados/");
  other->Open();
  EXPECT_EQ(other->Engine(), database_->Engine());
  EXPECT_EQ(session_->Engine()->DirectoryCount(), 1u);
  database_->Close();
  EXPECT_TRUE(other->Connected());
  EXPECT_EQ(session_->Engine()->DirectoryCount(), 1u);
  other->Close();
  EXPECT_EQ(session_->Engine()->DirectoryCount(), 0u);
}

TEST_F(SessionFixture, HandleSharedBorrowsAndLenderCloseTakesBorrowerAlong) {
  database_->SetHandleShared(true);
  database_->Open();
  TFichaDatabase* twin = new TFichaDatabase(form_.get());
  twin->SetDatabaseName("DBDados");
  twin->SetSessionName("KXFICHA");
  twin->SetHandleShared(true);
  twin->Open();
  EXPECT_TRUE(twin->Shared());
  EXPECT_EQ(twin->Engine(), database_->Engine());
  // A dataset of the same owner prefers a HandleShared database.
  EXPECT_EQ(session_->OpenDatabase("DBDADOS", twin), database_);
  session_->CloseDatabase(database_);
  database_->Close();
  EXPECT_FALSE(twin->Connected()) << "must not keep a freed engine database";
  EXPECT_EQ(session_->Engine()->DirectoryCount(), 0u);
}

TEST_F(SessionFixture, DatabaseClosesItsDatasetsLastFirst) {
  struct Client : TDatabaseClient {
    Client(std::string* l, char i, TFichaDatabase* d) : log(l), id(i), db(d) {}
    std::string* log;
    char id;
    TFichaDatabase* db;
    void CloseDataSet() override {
      *log += id;
      db->RemoveDataSet(this);
    }
  };
  std::string log;
  Client a(&log, 'a', database_), b(&log, 'b', database_);
  database_->Open();
  database_->AddDataSet(&a);
  database_->AddDataSet(&b);
  database_->Close();
  EXPECT_EQ(log, "ba");
  EXPECT_TRUE(database_->DataSets().empty());
}

TEST_F(SessionFixture, PasswordsGoToTheEngineSession) {
  session_->AddPassword("segredo");
  session_->AddPassword("");
  ASSERT_TRUE(session_->Active());
  EXPECT_TRUE(session_->Engine()->HasPassword("segredo"));
  EXPECT_FALSE(session_->Engine()->HasPassword("SEGREDO"));
  session_->RemovePassword("segredo");
  EXPECT_FALSE(session_->Engine()->HasPassword("segredo"));
  EXPECT_FALSE(session_->RequestPassword()) << "no handler declines";
  session_->OnPassword = [](TFichaSession& s, bool& retry) {
    s.AddPassword("outra");
    retry = true;
  };
  EXPECT_TRUE(session_->RequestPassword());
  EXPECT_TRUE(session_->Engine()->HasPassword("outra"));
  session_->RemoveAllPasswords();
  EXPECT_FALSE(session_->Engine()->HasPassword("outra"));
}

TEST_F(SessionFixture, DestroyingASessionMovesForeignDatabasesToTheDefault) {
  database_->Open();
  delete session_;
  EXPECT_FALSE(database_->Connected());
  EXPECT_EQ(database_->Session(), Sessions().DefaultSession());
  ExpectDatabaseError([&] { database_->Open(); }, "Session name KXFICHA is not valid.");
}

TEST(Components, DefaultsOfANewSessionAndDatabase) {
  TFichaSession s(nullptr);
  EXPECT_EQ(s.EngineVersion(), "3.30");
  s.SetEngineVersion("9.99");
  EXPECT_EQ(s.EngineVersion(), "3.30") << "read-only";
  EXPECT_FALSE(s.Active());
  EXPECT_FALSE(s.AutoSessionName());
  EXPECT_FALSE(s.ForceBufferFlush());
  EXPECT_TRUE(s.KeepConnections());
  EXPECT_EQ(s.LockRetryCount(), 15);
  EXPECT_EQ(s.LockWaitTime(), 100);
  EXPECT_EQ(s.LockProtocol(), TLockProtocol::lpPessimistic);
  EXPECT_EQ(s.PrivateDir(), "");
  EXPECT_EQ(s.ProgressSteps(), 20);
  EXPECT_EQ(s.SessionName(), "");
  EXPECT_FALSE(s.StrictChangeDetection());
  EXPECT_EQ(s.SessionType(), TSessionType::stLocal);
  EXPECT_EQ(s.RemoteType(), TRemoteType::rtLAN);
  EXPECT_EQ(s.RemoteHost(), "");
  EXPECT_EQ(s.RemoteAddress(), "127.0.0.1");
  EXPECT_EQ(s.RemotePort(), 12005);
  EXPECT_EQ(s.RemoteService(), "");
  EXPECT_FALSE(s.RemoteTrace());
  EXPECT_EQ(s.RemoteUser(), "");
  EXPECT_EQ(s.RemotePassword(), "");
  EXPECT_EQ(s.CacheLimits(), (EngineCacheLimits{16384, 8192, 16384, 32768, 8192}));

  TFichaDatabase d(nullptr);
  EXPECT_EQ(d.EngineVersion(), "3.30");
  EXPECT_FALSE(d.Connected());
  EXPECT_EQ(d.DatabaseName(), "");
  EXPECT_EQ(d.Directory(), "");
  EXPECT_EQ(d.RemoteDatabase(), "");
  EXPECT_FALSE(d.HandleShared());
  EXPECT_TRUE(d.KeepConnection());
  EXPECT_EQ(d.SessionName(), "");
  EXPECT_EQ(d.Session(), Sessions().DefaultSession());
}

TEST_F(SessionFixture, MemoryDatabaseOfADatasetHasNoDirectory) {
  TFichaDatabase* db = session_->OpenDatabase("memory", nullptr);
  EXPECT_TRUE(db->Temporary());
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(db->DatabaseName(), "memory");
  EXPECT_EQ(db->Directory(), "") << "the in-memory database takes no directory";
  EXPECT_EQ(db->Engine()->Directory(), "");
  EXPECT_EQ(session_->OpenDatabase("MEMORY", nullptr), db);
}

TEST_F(SessionFixture, TemporaryDatabaseThatCannotOpenIsFreed) {
  session_->SetSessionType(TSessionType::stRemote);
  try {
    session_->OpenDatabase("REMOTEDB", nullptr);
    FAIL() << "a remote session opened a database";
  } catch (const EFichaEngineError& e) {
    EXPECT_EQ(e.ErrorCode(), FICHA_REMOTECONNECT);
  }
  EXPECT_EQ(session_->FindDatabase("REMOTEDB"), nullptr);
  for (TFichaDatabase* db : session_->Databases()) EXPECT_FALSE(db->Temporary());
  EXPECT_FALSE(session_->Active());
}

// Database components start in the default session's list and move to
// their own session when they connect, so threads that each use their own
// session still share that list.
TEST(SessionList, DatabasesOfSeveralThreadsSessions) {
  size_t before = Sessions().DefaultSession()->Databases().size();
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      std::string session_name = "DBT" + std::to_string(t);
      TFichaSession session(nullptr);
      session.SetSessionName(session_name);
      std::vector<std::unique_ptr<TFichaDatabase>> dbs;
      for (int i = 0; i < 2000; ++i) {
        dbs.push_back(std::make_unique<TFichaDatabase>(nullptr));
        dbs.back()->SetDatabaseName("D" + std::to_string(i));
        dbs.back()->SetSessionName(session_name);
        dbs.back()->SetDirectory("/nonexistent/dbt" + std::to_string(t));
      }
      for (auto& db : dbs) {
        db->Open();
        if (db->Session() != &session || session.FindDatabase(db->DatabaseName()) != db.get()) {
          ++failures[t];
        }
      }
      dbs.clear();
      if (!session.Databases().empty()) ++failures[t];
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(failures[t], 0) << t;
  EXPECT_EQ(Sessions().DefaultSession()->Databases().size(), before);
}

TEST(SessionList, SessionsComeAndGoFromSeveralThreads) {
  std::vector<std::thread> threads;
  std::vector<int> misses(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &misses] {
      for (int i = 0; i < 200; ++i) {
        std::string name = "T" + std::to_string(t) + "_" + std::to_string(i);
        auto s = std::make_unique<TFichaSession>(nullptr);
        s->SetSessionName(name);
        s->Open();
        if (Sessions().FindSession(name) != s.get()) ++misses[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(misses[t], 0) << t;
  EXPECT_EQ(Sessions().Count(), 1u);
}

}  // namespace
}  // namespace ficha
