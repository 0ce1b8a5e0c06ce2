// The engine loader: missing library, missing entry point, retry, override.
#include "storage/engine_loader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/ui_services.h"
#include "storage/apollo_error.h"
#include "tests/support/recording_ui_services.h"
#include "tests/support/temp_dir.h"

namespace zer1 {
namespace {

constexpr const char* kLoadFailure = "Unable to load required Apollo DLL: SDE61.DLL";

class EngineLoaderTest : public ::testing::Test {
  protected:
    RecordingUiServices ui;
    ScopedUiServices installUi{&ui};
    testing::TempDir dir;

    void expectFailureShown(int times) {
        ASSERT_EQ(static_cast<int>(ui.messages.size()), times);
        for (const auto& message : ui.messages) {
            EXPECT_EQ(message.kind, MessageKind::kError);
            EXPECT_EQ(message.caption, "Fehler");
            EXPECT_EQ(message.text, kLoadFailure);
        }
        EXPECT_EQ(ui.quit_requests, times);
    }
};

TEST_F(EngineLoaderTest, MissingLibraryIsReportedOncePerAttemptAndFails) {
    EngineLibrary library(dir / "libsde61.so");
    for (int attempt = 1; attempt <= 2; ++attempt) {
        try {
            library.require();
            FAIL() << "loading a missing library succeeded";
        } catch (const EApolloError& e) {
            EXPECT_STREQ(e.what(), kLoadFailure);
        }
        expectFailureShown(attempt);
        EXPECT_FALSE(library.isLoaded());
    }
}

TEST_F(EngineLoaderTest, LibraryWithoutOneEntryPointIsRefused) {
    EngineLibrary library(FAKE_ENGINE_WITHOUT_SEEK);
    EXPECT_THROW(library.require(), EApolloError);
    expectFailureShown(1);
    EXPECT_FALSE(library.isLoaded());
    EXPECT_NE(library.lastFailure().find("sx_Seek"), std::string::npos) << library.lastFailure();
}

TEST_F(EngineLoaderTest, LaterAttemptSucceedsOnceTheLibraryIsThere) {
    const std::string path = dir / "libsde61.so";
    EngineLibrary library(path);
    EXPECT_THROW(library.require(), EApolloError);
    expectFailureShown(1);

    std::filesystem::copy_file(FAKE_ENGINE_COMPLETE, path);
    const EngineApi& api = library.require();
    EXPECT_TRUE(library.isLoaded());
    EXPECT_TRUE(library.lastFailure().empty());
    // Every slot of the table is filled.
    const void* const* slots = reinterpret_cast<const void* const*>(&api);
    for (int i = 0; i < kEngineFunctionCount; ++i) EXPECT_NE(slots[i], nullptr) << "slot " << i;
    static_assert(sizeof(EngineApi) == kEngineFunctionCount * sizeof(void*));
    // No further message, and the next call does not load again.
    expectFailureShown(1);
    EXPECT_EQ(&library.require(), &api);

    library.unload();
    EXPECT_FALSE(library.isLoaded());
}

TEST_F(EngineLoaderTest, OverrideReplacesTheProcessEngineForItsLifetime) {
    EngineApi fake{};
    {
        ScopedEngineOverride use(fake);
        EXPECT_EQ(&engine(), &fake);
    }
    // Without the override the process's library is used: pointed at nothing,
    // it fails like any missing library.
    EngineLibrary& process = processEngineLibrary();
    std::string saved = process.libraryPath();
    process.unload();
    process.setLibraryPath(dir / "nothing-here.so");
    EXPECT_THROW(engine(), EApolloError);
    expectFailureShown(1);
    process.setLibraryPath(saved);
}

TEST(EngineLibraryPath, DefaultIsTheEngineFileBesideUsOrTheBareName) {
    std::string path = defaultEngineLibraryPath();
    ASSERT_GE(path.size(), std::string("libsde61.so").size());
    EXPECT_EQ(path.substr(path.size() - 11), "libsde61.so");
    if (path != "libsde61.so") {
        EXPECT_TRUE(std::filesystem::exists(path));
    }
}

}  // namespace
}  // namespace zer1
