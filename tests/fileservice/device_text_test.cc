// Texts between the handheld's code page and the desktop's UTF-8, end to end
// through the device side: what lands on disk and in the stored files, what
// the device is shown, and that every name it was given still reaches its
// file when sent back.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "client/desktop_search.h"
#include "client/file_requests.h"
#include "core/settings/server_settings.h"
#include "log/server_log.h"
#include "log/service_log.h"
#include "platform/path.h"
#include "platform/user_store.h"
#include "search/desktop_search_client.h"
#include "support/http_stub.h"
#include "support/server/file_service_fixture.h"

namespace tarvex {
namespace {

using testing::kReplyTimeout;
using testing::ReadFile;
using testing::WriteFile;
namespace fs = std::filesystem;

// "café", "naïve", "Müller", "José" as Windows-1252 bytes and as UTF-8.
constexpr char kCafe1252[] = "caf\xE9";
constexpr char kCafeUtf8[] = "caf\xC3\xA9";
constexpr char kNaive1252[] = "na\xEFve.txt";
constexpr char kNaiveUtf8[] = "na\xC3\xAFve.txt";
constexpr char kMuller1252[] = "M\xFCller";
constexpr char kMullerUtf8[] = "M\xC3\xBCller";
constexpr char kJose1252[] = "Jos\xE9";
constexpr char kJoseUtf8[] = "Jos\xC3\xA9";
// "日本.txt" in UTF-8 and in Shift-JIS.
constexpr char kJapaneseUtf8[] = "\xE6\x97\xA5\xE6\x9C\xAC.txt";
constexpr char kJapaneseSjis[] = "\x93\xFA\x96\x7B.txt";

class DeviceTextTest : public testing::ExchangeFixture {
 protected:
  std::vector<std::string> Names(Connection* link, const std::string& dir) {
    std::vector<ListingEntry> entries;
    EXPECT_EQ(RequestListDirectory(link, dir, &entries, kReplyTimeout), 0);
    std::vector<std::string> names;
    for (const ListingEntry& e : entries) names.push_back(e.name);
    return names;
  }
  std::string NewestServiceLog(int field) {
    auto record = server_->GetService(0)->GetServiceLog()->GetRecord(0);
    return record ? record->GetField(field) : std::string();
  }
};

TEST_F(DeviceTextTest, NamesInTheCodePageLandInUtf8AndEveryNameListedStillDownloads) {
  Start();
  fs::create_directories(testing::Utf8Path(dir_ + kMullerUtf8));
  auto link = Device();
  const std::string name = std::string(kCafe1252) + " r\xE9sum\xE9.txt";
  EXPECT_EQ(Put(link.get(), dir_ + kMuller1252 + "/", name, "cv"), 0);
  const std::string on_disk = dir_ + kMullerUtf8 + "/" + kCafeUtf8 + " r\xC3\xA9sum\xC3\xA9.txt";
  EXPECT_EQ(ReadFile(on_disk), "cv");
  EXPECT_EQ(NewestServiceLog(ServiceLogRecord::kDescription),
            std::string("File ") + kCafeUtf8 + " r\xC3\xA9sum\xC3\xA9.txt successfully received from device");

  std::vector<ListingEntry> entries;
  ASSERT_EQ(RequestListDirectory(link.get(), dir_ + kMuller1252 + "/", &entries, kReplyTimeout), 0);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].name, name);
  EXPECT_EQ(entries[1].directory, dir_ + kMuller1252 + "/") << "the path goes back as the device sent it";
  EXPECT_EQ(entries[1].size, 2u) << "the stamp is taken from the UTF-8 file";

  // Names the code page cannot carry go out unchanged and still download.
  WriteFile(dir_ + kJapaneseUtf8, "nihon");
  WriteFile(dir_ + kNaiveUtf8, "naive");
  EXPECT_EQ(Names(link.get(), dir_), (std::vector<std::string>{"..", kMuller1252, kNaive1252, kJapaneseUtf8}));

  GetFileReply reply;
  EXPECT_EQ(Get(link.get(), dir_, kJapaneseUtf8, &reply), "nihon") << "sent back as the UTF-8 it was given";
  EXPECT_EQ(reply.name, kJapaneseUtf8);
  EXPECT_EQ(Get(link.get(), dir_, kNaiveUtf8, &reply), "naive") << "a device echoing UTF-8 is understood";
  EXPECT_EQ(reply.name, kNaive1252) << "and answered in its code page, with the length to match";
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);
}

// Names on Linux are bytes: an earlier version stored them in raw
// Windows-1252.
TEST_F(DeviceTextTest, NamesStoredInRawCodePageBytesAreListedAndDownloaded) {
  Start();
  auto link = Device();
  WriteFile(dir_ + kCafe1252 + ".txt", "legacy");
  EXPECT_EQ(Names(link.get(), dir_), (std::vector<std::string>{"..", std::string(kCafe1252) + ".txt"}));
  GetFileReply reply;
  EXPECT_EQ(Get(link.get(), dir_, std::string(kCafe1252) + ".txt", &reply), "legacy")
      << "the raw bytes are tried after the converted name";
  EXPECT_EQ(reply.name, std::string(kCafe1252) + ".txt");
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);
}

TEST_F(DeviceTextTest, DownloadTrackedFileAndSearchResultCarryAnAccentedNameInTheCodePage) {
  fs::create_directories(testing::Utf8Path(dir_ + kMullerUtf8));
  WriteFile(dir_ + kMullerUtf8 + "/" + kNaiveUtf8, "naive content");
  WriteFile(data_dir_ + "QLXUsers.txt", std::string("\"1\",\"") + kJoseUtf8 + "\"\r\n");
  const std::string page = "<?xml version=\"1.0\"?>\n<results count=\"1\">\n<result>\n<category>file</category>\n"
                           "<url>" + dir_ + kMullerUtf8 + "/" + kNaiveUtf8 + "</url>\n"
                           "<snippet>cr\xC3\xA8me \xE6\x97\xA5</snippet>\n</result>\n</results>\n";
  testing::HttpStub engine([&](const std::string&) { return testing::HttpStub::Reply(200, page); });
  ASSERT_TRUE(WriteUserValue(kSearchUrlKeyPath, kSearchUrlValue,
                             "http://127.0.0.1:" + std::to_string(engine.Port()) + "/s?q="));
  Start();
  auto link = Device();
  GetFileReply reply;
  EXPECT_EQ(Get(link.get(), dir_ + kMuller1252 + "/", kNaive1252, &reply, protocol::get_file::kTrack, 1),
            "naive content");
  EXPECT_EQ(reply.directory, dir_ + kMuller1252 + "/");
  // The download is logged once it has gone out.
  EXPECT_TRUE(testing::WaitUntil([&] { return NewestServiceLog(ServiceLogRecord::kUser) == kJoseUtf8; }))
      << "the device user is logged in UTF-8";

  SearchReply found;
  ASSERT_EQ(RequestSearch(link.get(), "cr\xE8me", 10, 0, &found, kReplyTimeout), 0);
  ASSERT_EQ(found.items.size(), 1u);
  EXPECT_EQ(found.items[0].name, kNaive1252);
  EXPECT_EQ(found.items[0].directory, dir_ + kMuller1252 + "/");
  EXPECT_EQ(found.items[0].size, 13u);
  EXPECT_EQ(found.items[0].snippet, "cr\xE8me ?") << "a snippet is only shown: what the code page lacks is '?'";
  EXPECT_EQ(testing::HttpStub::Target(engine.Requests().at(0)).substr(0, 16), "/s?q=cr%C3%A8me&")
      << "the search engine is asked in UTF-8";
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);

  const std::string record = std::string("\"1\",\"") + kNaiveUtf8 + "\",\"" + dir_ + kMullerUtf8 + "/\"\r\n";
  ASSERT_TRUE(testing::WaitUntil([&] { return ReadFile(data_dir_ + "QLXFiles.txt") == record; }))
      << ReadFile(data_dir_ + "QLXFiles.txt");
  link = Device();
  std::vector<TrackedFile> tracked;
  ASSERT_EQ(RequestTrackedFiles(link.get(), 1, &tracked, kReplyTimeout), 0);
  ASSERT_EQ(tracked.size(), 1u);
  EXPECT_EQ(tracked[0].name, kNaive1252);
  EXPECT_EQ(tracked[0].directory, dir_ + kMuller1252 + "/");
  EXPECT_EQ(tracked[0].size, 13u);
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);
}

TEST_F(DeviceTextTest, AccentedUserAndLoginAreStoredAndLoggedInUtf8AndSentInTheCodePage) {
  Start();
  server_->Settings().SetLogin("Zo\xC3\xAB");
  LoginOutcome login = LogInAs("Zo\xEB", testing::kPassword);
  ASSERT_TRUE(login.Accepted()) << "the login name arrives in the code page";
  Connection* link = login.connection.get();
  ASSERT_TRUE(WaitForServerLog("Begin Session Successful - SessionID [1] from 127.0.0.1"));
  EXPECT_EQ(server_->Log().GetRecord(0)->GetField(ServerLogRecord::kUser), "Zo\xC3\xAB");

  AddUserReply added;
  ASSERT_EQ(RequestAddUser(link, kJose1252, "", &added, kReplyTimeout), 0);
  ASSERT_EQ(RequestAddUser(link, kJoseUtf8, "", &added, kReplyTimeout), 0);
  EXPECT_TRUE(added.duplicate) << "the same name sent as UTF-8 is the same user";
  EXPECT_EQ(ReadFile(data_dir_ + "QLXUsers.txt"), std::string("\"1\",\"") + kJoseUtf8 + "\"\r\n");

  std::vector<DeviceUser> users;
  ASSERT_EQ(RequestUsers(link, &users, kReplyTimeout), 0);
  ASSERT_EQ(users.size(), 1u);
  EXPECT_EQ(users[0].name, kJose1252);
  std::optional<std::string> home;
  ASSERT_EQ(RequestUserDirectory(link, 1, &home, kReplyTimeout), 0);
  EXPECT_EQ(home, WithTrailingSeparator(dir_ + kJose1252));

  EXPECT_EQ(Put(link, dir_ + kJose1252 + "/", "a.txt", "a", 1), 0);
  EXPECT_EQ(NewestServiceLog(ServiceLogRecord::kUser), kJoseUtf8);
  EXPECT_EQ(EndSession(link, kReplyTimeout), 0);
}

TEST_F(DeviceTextTest, ShiftJisSettingRoundTripsAJapaneseName) {
  ASSERT_TRUE(ServerSettings(data_dir_ + "TSConfig.txt").SetDeviceCharset("SHIFT_JIS"));
  Start();
  auto link = Device();
  EXPECT_EQ(Put(link.get(), dir_, kJapaneseSjis, "nihon"), 0);
  EXPECT_EQ(ReadFile(dir_ + kJapaneseUtf8), "nihon");
  GetFileReply reply;
  EXPECT_EQ(Get(link.get(), dir_, kJapaneseSjis, &reply), "nihon");
  EXPECT_EQ(reply.name, kJapaneseSjis);
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);
}

TEST_F(DeviceTextTest, FilesCarriedOverInTheCodePageAreReadInItAndRewrittenInUtf8) {
  WriteFile(data_dir_ + "QLXUsers.txt", std::string("\"1\",\"") + kJose1252 + "\"\r\n\"2\",\"Ann\"\r\n");
  WriteFile("QLXLog.txt",
            std::string("10/12/05 16:46:38,Success,File ") + kCafe1252 + " received," + kJose1252 + "\r\n");
  fs::create_directories(testing::Utf8Path(dir_ + kMullerUtf8));
  WriteFile(dir_ + kMullerUtf8 + "/x.txt", "x");
  WriteFile(data_dir_ + "QLXAccessCtrl.dat", dir_ + kMuller1252 + "/\r\n");
  Start();
  auto legacy = server_->GetService(0)->GetServiceLog()->GetRecord(0);
  ASSERT_TRUE(legacy);
  EXPECT_EQ(legacy->GetField(ServiceLogRecord::kDescription), std::string("File ") + kCafeUtf8 + " received");
  EXPECT_EQ(legacy->GetField(ServiceLogRecord::kUser), kJoseUtf8);

  auto link = Device();
  AddUserReply added;
  ASSERT_EQ(RequestAddUser(link.get(), "Zo\xEB", "", &added, kReplyTimeout), 0);
  EXPECT_EQ(ReadFile(data_dir_ + "QLXUsers.txt"),
            std::string("\"1\",\"") + kJoseUtf8 + "\"\r\n\"2\",\"Ann\"\r\n\"3\",\"Zo\xC3\xAB\"\r\n");

  // The access entry, written in the code page, allows the UTF-8 directory.
  EXPECT_EQ(Names(link.get(), dir_), (std::vector<std::string>{"..", kMuller1252}));
  EXPECT_EQ(Names(link.get(), dir_ + kMuller1252 + "/"), (std::vector<std::string>{"..", "x.txt"}));
  EXPECT_EQ(EndSession(link.get(), kReplyTimeout), 0);
}

}  // namespace
}  // namespace tarvex
