#include <gtest/gtest.h>

#include <filesystem>

#include "common/big_endian.h"
#include "datafiles/device_config_file.h"
#include "datafiles/palm_database_writer.h"
#include "platform/file_info.h"
#include "support/faulty_save_calls.h"
#include "support/temp_dir.h"

namespace tarvex {
namespace {

using testing::ReadFile;
using testing::TempDir;

// A small reader of what a handheld sees: the header fields and the records.
struct PalmDatabase {
  std::string name;
  std::vector<std::uint32_t> offsets;
  std::vector<std::string> records;
};

PalmDatabase ReadDatabase(const std::string& bytes) {
  PalmDatabase db;
  if (bytes.size() < kPalmHeaderSize) return db;
  db.name = bytes.substr(0, bytes.find('\0'));
  const std::uint16_t count = GetU16(bytes.data() + 76);
  for (std::size_t i = 0; i < count; ++i) {
    db.offsets.push_back(GetU32(bytes.data() + kPalmHeaderSize + 8 * i));
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t end = i + 1 < count ? db.offsets[i + 1] : bytes.size();
    db.records.push_back(bytes.substr(db.offsets[i], end - db.offsets[i]));
  }
  return db;
}

TEST(PalmDatabaseWriterTest, HeaderRecordListAndDataAreLaidOutExactly) {
  TempDir dir;
  PalmDatabaseWriter empty;
  empty.BeginDatabase("TenLetters", dir.File("empty.pdb"));
  ASSERT_TRUE(empty.FinishDatabase());
  const std::string header = ReadFile(dir.File("empty.pdb"));
  ASSERT_EQ(header.size(), 78u);
  EXPECT_EQ(header.substr(0, 32), "TenLetters" + std::string(22, '\0'));
  EXPECT_EQ(header.substr(60, 8), "dataQLCl");
  EXPECT_EQ(GetU32(header.data() + 36), 1000u);
  EXPECT_EQ(GetU32(header.data() + 40), 1000u);
  EXPECT_EQ(GetU16(header.data() + 76), 0u);

  PalmDatabaseWriter writer;
  writer.BeginDatabase(std::string(40, 'n'), dir.File("four.pdb"));
  for (std::size_t size : {15, 12, 16, 14}) ASSERT_TRUE(writer.AppendRecord(std::string(size, 'r')));
  ASSERT_TRUE(writer.FinishDatabase());
  const std::string bytes = ReadFile(dir.File("four.pdb"));
  EXPECT_EQ(bytes.size(), 167u);
  const PalmDatabase db = ReadDatabase(bytes);
  EXPECT_EQ(db.offsets, (std::vector<std::uint32_t>{110, 125, 137, 153}));
  // A long name is cut to 31 characters so that its field keeps a zero.
  EXPECT_EQ(db.name, std::string(31, 'n'));
}

TEST(PalmDatabaseWriterTest, AFailedWriteIsReportedAndLeavesTheEarlierFile) {
  TempDir dir;
  const std::string path = dir.File("QSSrvCfgDB.pdb");
  testing::WriteFile(path, "earlier");
  testing::FaultySaveCalls full(testing::FaultySaveCalls::Step::kWrite, testing::kDiskFull);
  std::string error;
  EXPECT_FALSE(CreateDeviceConfigFile(path, "10.0.0.2", "9300", "palm", "xxxxxxxx", &error, full));
  EXPECT_NE(error.find(SystemErrorText(testing::kDiskFull)), std::string::npos) << error;
  EXPECT_EQ(ReadFile(path), "earlier");
  // A value beyond the work buffer is refused, not cut.
  EXPECT_FALSE(CreateDeviceConfigFile(path, "10.0.0.2", "9300", std::string(995, 'l'), "x", &error));
  EXPECT_NE(error.find("LOGIN"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(path), "earlier");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(DeviceConfigFileTest, ADotlessPathGetsPdbAndAnEmptyValueKeepsItsRecord) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(CreateDeviceConfigFile(dir.File("QSSrvCfgDB"), "10.0.0.2", "9300", "", "xxxxxxxx", &error)) << error;
  const PalmDatabase db = ReadDatabase(ReadFile(dir.File("QSSrvCfgDB.pdb")));
  EXPECT_EQ(db.name, "QSSrvCfgDB");
  ASSERT_EQ(db.records.size(), 4u);
  EXPECT_EQ(db.records[2], std::string("LOGIN\0\0", 7));
}

}  // namespace
}  // namespace tarvex
