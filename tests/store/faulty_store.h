// The fixture of the tests that break the store's files: a scratch folder, a store whose file
// system fails on request, and the names of the files beside it.
#pragma once

#include "store_test_util.h"
#include "support/file_faults.h"

namespace zeph::store::testing {

class FaultyStoreTest : public ::testing::Test {
  protected:
    fs::path Store() const { return folder.File("zpconfig.cfg"); }
    fs::path Temp() const { return folder.File("zpconfig.cfg.tmp"); }
    fs::path Backup() const { return folder.File("zpconfig.cfg.bak"); }

    TempFolder folder;
    xml::FaultInjectingFileSystem files;
    ScriptStore store{folder.Host(), files};
};

}  // namespace zeph::store::testing
