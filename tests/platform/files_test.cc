#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include "platform/atomic_file.h"
#include "platform/file_info.h"
#include "platform/files.h"
#include "platform/path.h"
#include "support/faulty_save_calls.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::size_t EntryCount(const std::string& directory) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(directory), {}));
}

TEST(AtomicFileTest, AFailureAtAnyStepKeepsTheOldFileAndLeavesNoTemporary) {
  TempDir dir;
  const std::string path = dir.File("TSConfig.txt");
  using Step = testing::FaultySaveCalls::Step;
  for (Step step : {Step::kCreate, Step::kWrite, Step::kSync, Step::kRename}) {
    WriteFile(path, "PORT=9300\r\n");
    testing::FaultySaveCalls calls(step, testing::kDiskFull);
    AtomicFile file(path, calls);
    const bool saved = file.Write(std::string(100000, 'x')) && file.Commit();
    EXPECT_FALSE(saved);
    EXPECT_EQ(file.Error(), testing::kDiskFull);
    EXPECT_EQ(ReadFile(path), "PORT=9300\r\n");
    EXPECT_EQ(EntryCount(dir.Path()), 1u);
    // Once failed, nothing more reaches the disk.
    EXPECT_FALSE(file.Write("more"));
    EXPECT_FALSE(file.Commit());
  }
}

TEST(AtomicFileTest, RefusedTargetsSayWhyBeforeAnythingIsCreated) {
  TempDir dir;
  fs::create_directory(dir.File("sub"));
  for (const auto& [target, kind] : {std::pair{dir.File("sub"), FileErrorKind::kAccessDenied},
                                     {dir.File("none/file"), FileErrorKind::kBadPath},
                                     {dir.File(std::string(256, 'n')), FileErrorKind::kBadPath}}) {
    EXPECT_EQ(ClassifyFileError(AtomicFile(target).Error(), target), kind) << target;
  }
  EXPECT_FALSE(WriteFileAtomically("", "new"));
  // The temporary name keeps room for itself beside a long target name.
  const std::string long_name = dir.File("sub/" + std::string(250, 'l'));
  EXPECT_TRUE(WriteFileAtomically(long_name, "ok"));
  EXPECT_EQ(ReadFile(long_name), "ok");
  EXPECT_EQ(EntryCount(dir.Path()), 1u);
}

TEST(AtomicFileTest, UploadsLeaveNoNamedFileAndStaleUploadFilesGoUnlessAWriterHoldsThem) {
  TempDir dir;
  const std::string target = dir.File("up.bin");
  // Where the file system makes unnamed files, nothing shows while writing.
  {
    AtomicFile upload(target, SaveCalls::Default(), AtomicFile::Kind::kUpload);
    ASSERT_TRUE(upload.Write("content"));
    EXPECT_EQ(EntryCount(dir.Path()), testing::kUnnamedFiles ? 0u : 1u);
    ASSERT_TRUE(upload.Commit());
  }
  EXPECT_EQ(ReadFile(target), "content");
  EXPECT_EQ(EntryCount(dir.Path()), 1u);

  // Where it cannot, a crashed upload's file goes when the next one starts;
  // a running upload's file and a brand-new one stay.
  const std::string stale = dir.File(".up.bin.AbCdEf.tvxupload");
  const std::string young = dir.File(".up.bin.GhIjKl.tvxupload");
  const std::string other_save = dir.File(".up.bin.MnOpQr.tvxsave");
  for (const std::string& name : {stale, young, other_save}) WriteFile(name, "part");
  const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
  fs::last_write_time(stale, old);
  fs::last_write_time(other_save, old);
  testing::FaultySaveCalls no_unnamed(testing::FaultySaveCalls::Step::kCreateUnnamed);
  AtomicFile running(dir.File("run.bin"), no_unnamed, AtomicFile::Kind::kUpload);
  ASSERT_TRUE(running.Write("half"));
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(young));
  EXPECT_TRUE(fs::exists(other_save));
  // Of any age, every upload file goes but the running upload's.
  EXPECT_EQ(RemoveStaleUploadFiles(dir.Path(), 0), 1) << "a running upload's file was removed";
  ASSERT_TRUE(running.Commit());
  EXPECT_EQ(ReadFile(dir.File("run.bin")), "half");
}

TEST(AtomicFileTest, StaleTemporaryFilesAreRemovedAndNothingElse) {
  TempDir dir;
  for (const char* name : {".TSConfig.txt.a1B2c3.tvxsave", ".QLXUsers.txt.Zx9yQ1", "QLXUsers.txt",
                           ".hidden", ".QLXUsers.txt.toolong1", "x.tvxsave"}) {
    WriteFile(dir.File(name), "x");
  }
  EXPECT_EQ(RemoveStaleSaveFiles(dir.Path(), {"QLXUsers.txt"}), 2);
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.Path())) left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"QLXUsers.txt", ".hidden", ".QLXUsers.txt.toolong1",
                                         "x.tvxsave"}));
}

// Expected results are written with "/" and compared in the platform's form.
std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', kPathSeparator);
  return path;
}

TEST(NormalisePathTest, ResolvesDotsAndSeparators) {
  TempDir dir;
  const std::string base = Native(fs::canonical(dir.Path()).string());
  fs::create_directory(base + "/real");

  EXPECT_EQ(NormalisePath(base + "//real/./x/../y"), Native(base + "/real/y"));
  EXPECT_EQ(NormalisePath(base + "/real/"), Native(base + "/real/"));
  EXPECT_EQ(NormalisePath(base + "/real/.."), Native(base + "/"));
  EXPECT_EQ(NormalisePath("/../.."), Native(fs::current_path().root_path().string()));
  EXPECT_EQ(NormalisePath(""), "");
  EXPECT_EQ(NormalisePath(std::string("/a\0b", 4)), "");
  EXPECT_EQ(NormalisePath("rel/x"), Native(fs::current_path().string() + "/rel/x"));
}

TEST(NormalisePathTest, ResolvesLinks) {
  TempDir dir;
  const std::string base = fs::canonical(dir.Path()).string();
  fs::create_directories(base + "/real/deep");
  fs::create_directory_symlink(base + "/real", base + "/link");
  fs::create_directory_symlink("real/deep", base + "/deep");
  fs::create_symlink("../real/none", base + "/real/dangling");
  fs::create_symlink("loop", base + "/loop");

  EXPECT_EQ(NormalisePath(base + "/link/a/"), base + "/real/a/");
  EXPECT_EQ(NormalisePath(base + "/deep/../x"), base + "/real/x");  // ".." of the target
  EXPECT_EQ(NormalisePath(base + "/real/dangling/f"), base + "/real/none/f");
  EXPECT_EQ(NormalisePath(base + "/loop"), "");
}

}  // namespace
}  // namespace tarvex
