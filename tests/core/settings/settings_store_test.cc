#include "core/settings/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_info.h"
#include "support/faulty_save_calls.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(SettingsStoreTest, LoadSplitsAtTheFirstEqualsSignAndSaveRewritesInOrder) {
  TempDir dir;
  const std::string path = dir.File("TSConfig.txt");
  const std::string original = "PORT = 9300\nA=b=c\r\n=e\nK=1\nno equals\nk=x\ry\nK=2\nE=";
  WriteFile(path, original);
  SettingsStore store(path);
  store.LoadSettings();
  EXPECT_EQ(ReadFile(path), original);  // loading never cuts the file
  EXPECT_EQ(store.GetValue("PORT "), " 9300");
  EXPECT_EQ(store.GetValue("A"), "b=c");
  EXPECT_EQ(store.GetValue(""), "e");
  EXPECT_EQ(store.GetValue("K"), "1");
  EXPECT_EQ(store.GetValue("k"), "x\ry");
  store.SetValue("K", "one");
  store.SetValue("NEW", "v");
  store.SaveSettings();
  EXPECT_EQ(ReadFile(path), "PORT = 9300\r\nA=b=c\r\n=e\r\nK=one\r\nk=x\ry\r\nK=2\r\nE=\r\nNEW=v\r\n");
}

TEST(SettingsStoreTest, MissingFileIsCreatedEmptyUnopenableOneLeftAloneAndSaveErrorsPassedOn) {
  TempDir dir;
  SettingsStore fresh(dir.File("TSConfig.txt"));
  fresh.LoadSettings();
  EXPECT_TRUE(std::filesystem::exists(dir.File("TSConfig.txt")));

  SettingsStore folder(dir.Path());
  folder.SetValue("K", "v");
  folder.LoadSettings();
  EXPECT_EQ(ClassifyFileError(folder.SaveSettings(), dir.Path()), FileErrorKind::kAccessDenied);
  EXPECT_EQ(folder.GetValue("K"), "v");
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path()));

  testing::FaultySaveCalls full(testing::FaultySaveCalls::Step::kRename, testing::kDiskFull);
  SettingsStore failing(dir.File("TSConfig.txt"), full);
  failing.SetValue("PORT", "9400");
  EXPECT_EQ(failing.SaveSettings(), testing::kDiskFull);
  EXPECT_EQ(ReadFile(dir.File("TSConfig.txt")), "");
}

}  // namespace
}  // namespace tarvex
