// The bundled sample made in a temporary folder, as the build makes it: vornsql create,
// then the sample script on standard input.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/temp_database.h"
#include "tools/vornsql_process.h"

namespace vorn::test {

// Shared by the tests of one suite: made once, never changed by them (tests that write
// make their own copy with CopyOfSample).
class SampleDatabase {
  public:
    SampleDatabase() {
        path_ = folder_.File("sample.db");
        ProcessResult created = RunVornsql({"create", path_});
        EXPECT_EQ(0, created.status) << created.err;
        ProcessResult filled = RunVornsql({path_}, ReadWholeFile(VORN_SAMPLE_SQL));
        EXPECT_EQ(0, filled.status) << filled.err;
    }
    const std::string& Path() const { return path_; }

    // A copy of the sample in folder, for tests that change it.
    std::string CopyTo(const TempFolder& folder, const std::string& name) const {
        const std::string copy = folder.File(name);
        WriteWholeFile(copy, ReadWholeFile(path_));
        return copy;
    }

  private:
    TempFolder folder_;
    std::string path_;
};

// A test suite over one sample made for the whole suite, with a temporary folder per test.
class SampleSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { sample_ = new SampleDatabase(); }
    static void TearDownTestSuite() {
        delete sample_;
        sample_ = nullptr;
    }
    static const std::string& Sample() { return sample_->Path(); }

    TempFolder dir;
    static inline SampleDatabase* sample_ = nullptr;
};

}  // namespace vorn::test
