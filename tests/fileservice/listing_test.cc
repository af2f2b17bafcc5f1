// Directory and drive listings, open and restricted.
#include <gtest/gtest.h>

#include <filesystem>

#include "client/file_requests.h"
#include "common/big_endian.h"
#include "platform/mounts.h"
#include "platform/path.h"
#include "support/server/file_service_fixture.h"

namespace tarvex {
namespace {

using testing::kReplyTimeout;
using testing::WriteFile;
namespace fs = std::filesystem;

std::vector<std::string> Names(const std::vector<ListingEntry>& entries) {
  std::vector<std::string> names;
  for (const ListingEntry& e : entries) names.push_back((e.is_directory ? "d:" : "") + e.name);
  return names;
}

class ListingTest : public testing::ExchangeFixture {
 protected:
  void SetUp() override {
    ExchangeFixture::SetUp();
    for (const char* d : {"Zed", "alpha", "-dash", "shared", ".config"}) fs::create_directories(dir_ + d);
    for (const char* f : {"b.txt", "A.txt", "c.TXT", "_under", ".hidden"}) WriteFile(dir_ + f, "12345");
  }
  std::vector<ListingEntry> List(Connection* link, const std::string& path) {
    std::vector<ListingEntry> entries;
    EXPECT_EQ(RequestListDirectory(link, path, &entries, kReplyTimeout), 0);
    return entries;
  }
  std::vector<std::string> Drives(Connection* link) {
    std::vector<std::string> drives;
    EXPECT_EQ(RequestListDrives(link, &drives, kReplyTimeout), 0);
    return drives;
  }
};

TEST_F(ListingTest, ParentFirstThenDirectoriesThenFilesWithoutHiddenNamesAndOnlyWhatARestrictionAllows) {
  Start();
  auto link = Device();
  const std::vector<ListingEntry> entries = List(link.get(), dir_);
  const std::vector<std::string> expected = {"d:..",   "d:-dash", "d:alpha", "d:shared", "d:Zed",
                                             "_under", "A.txt",   "b.txt",   "c.TXT"};
  EXPECT_EQ(Names(entries), expected);
  const ListingEntry& file = entries.back();
  EXPECT_EQ(file.size, 5u);
  EXPECT_EQ(file.directory, dir_);
  EXPECT_EQ(file.stamp.find_first_not_of("0123456789"), std::string::npos) << file.stamp;

  // A directory that does not exist (nor its parent) lists ".." alone;
  // every byte checked, the header giving back the value the request carried.
  const std::string missing = dir_ + "missing/deeper/";
  std::string block(263, '\0');
  PutU16(block.data(), 263);
  PutU32(block.data() + 2, 0x01020304);
  std::copy(missing.begin(), missing.end(), block.begin() + 8);
  Send(link.get(), 108, block);
  EXPECT_EQ(Receive(link.get(), 14), std::string("\0\x0e\0\0\0\0\1\2\3\4\0\0\0\1", 14));
  std::string entry = BigEndian16(1) + std::string(12, '\0') + BigEndian32(0) + BigEndian16(2) + ".." +
                      BigEndian16(static_cast<std::uint16_t>(missing.size())) + missing;
  EXPECT_EQ(Receive(link.get(), entry.size()), entry);
  // Drives: the system drive first, each a directory.
  const std::vector<std::string> drives = Drives(link.get());
  const std::string system_drive = DriveRoots().front().root;
  ASSERT_FALSE(drives.empty());
  EXPECT_EQ(drives.front(), system_drive);
  for (const std::string& drive : drives) EXPECT_TRUE(EndsInSeparator(drive)) << drive;
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);

  // A restricted session sees only allowed paths and the system drive.
  WriteFile(dir_ + "shared/inside.txt", "in");
  WriteFile(data_dir_ + "QLXAccessCtrl.dat", dir_ + "shared/\n");
  auto restricted = Device();
  EXPECT_EQ(Names(List(restricted.get(), dir_)), (std::vector<std::string>{"d:..", "d:shared"}));
  EXPECT_EQ(Names(List(restricted.get(), dir_ + "shared/")), (std::vector<std::string>{"d:..", "inside.txt"}));
  EXPECT_EQ(Drives(restricted.get()), std::vector<std::string>{system_drive});
  EXPECT_EQ(EndSession(restricted.get(), kReplyTimeout), 0);
}

}  // namespace
}  // namespace tarvex
