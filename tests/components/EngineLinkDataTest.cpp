// The components on the storage engine's own session and databases.
#include <gtest/gtest.h>

#include <memory>

#include "components/EngineLinkData.h"
#include "components/FichaTb.h"
#include "engine/session/DataDirectory.h"
#include "engine/session/DataSession.h"

namespace ficha {
namespace {

class EngineLinkDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<TComponent>(nullptr);
    session_ = new TFichaSession(form_.get());
    session_->SetName("FichaSession");
    session_->SetSessionName("LINKTEST");
    session_->SetForceBufferFlush(true);
    session_->SetLockRetryCount(7);
    session_->SetLockWaitTime(25);
    session_->SetLockProtocol(TLockProtocol::lpOptimistic);
    session_->SetPrivateDir(" /srv/kolbar/tmp ");
  }
  TFichaDatabase* NewDatabase(const std::string& name, const std::string& directory) {
    auto* database = new TFichaDatabase(form_.get());
    database->SetDatabaseName(name);
    database->SetSessionName("LINKTEST");
    database->SetDirectory(directory);
    return database;
  }

  std::unique_ptr<TComponent> form_;
  TFichaSession* session_ = nullptr;
};

TEST_F(EngineLinkDataTest, SettingsAndDatabasesReachTheEngine) {
  TFichaDatabase* dados = NewDatabase("DBDados", "/srv/kolbar/DADOS");
  dados->Open();
  TDataDirectory* directory = DataDirectoryOf(dados->Engine());
  ASSERT_NE(directory, nullptr);
  EXPECT_EQ(directory->Directory(), "\\srv\\kolbar\\DADOS\\");
  TDataSession* engine = directory->Session();
  EXPECT_TRUE(engine->ForceBufferFlush());
  EXPECT_EQ(engine->LockRetryCount(), 7);
  EXPECT_EQ(engine->LockWaitTime(), 25);
  EXPECT_EQ(engine->LockProtocol(), TDataLockProtocol::kOptimistic);
  EXPECT_EQ(engine->PrivateDirectory(), "/srv/kolbar/tmp\\");
  EXPECT_EQ(engine->CacheLimits().blob_bytes, 32768);

  // A second database on the same directory, spelled differently, shares
  // the engine database.
  TFichaDatabase* outro = NewDatabase("DBOutro", "/SRV/KOLBAR/dados/");
  outro->Open();
  EXPECT_EQ(DataDirectoryOf(outro->Engine()), directory);
  EXPECT_EQ(directory->UseCount(), 2);

  dados->StartTransaction();
  EXPECT_TRUE(directory->InTransaction());
  dados->Commit();
  EXPECT_FALSE(directory->InTransaction());
  dados->StartTransaction();
  dados->Rollback();
  EXPECT_FALSE(directory->InTransaction());

  dados->Close();
  EXPECT_EQ(directory->UseCount(), 1);
  outro->Close();
  EXPECT_TRUE(engine->Directories().empty());
}

}  // namespace
}  // namespace ficha
