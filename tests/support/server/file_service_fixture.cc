#include "support/server/file_service_fixture.h"

#include <filesystem>

#include "common/big_endian.h"
#include "core/cipher/blowfish.h"
#include "core/settings/root_dir.h"
#include "log/service_log.h"
#include "platform/path.h"
#include "support/loopback.h"

namespace tarvex::testing {

void FileServiceFixture::SetUp() {
  ServerFixture::SetUp();
  root_dir_ = root_.File("exchange");
  ASSERT_TRUE(WriteRootDir(root_dir_));
}

void ExchangeFixture::SetUp() {
  FileServiceFixture::SetUp();
  dir_ = WithTrailingSeparator(root_dir_);
  std::filesystem::create_directories(Utf8Path(dir_));
}

void FileServiceFixture::Start(int receive_timeout, SaveCalls* save_calls) {
  StartWith({[receive_timeout, save_calls] {
    FileServiceOptions options;
    options.receive_timeout = receive_timeout;
    options.save_calls = save_calls;
    return std::make_unique<FileService>(options);
  }});
}

std::unique_ptr<Connection> FileServiceFixture::Device() {
  LoginOutcome login = LogInAs(kLogin, kPassword);
  EXPECT_TRUE(login.Accepted());
  return std::move(login.connection);
}

std::int32_t FileServiceFixture::Put(Connection* link, const std::string& dir, const std::string& name,
                                     const std::string& content, std::uint32_t user) {
  std::size_t offset = 0;
  auto source = [&](char* out, std::size_t n) -> long {
    n = content.copy(out, n, offset);
    offset += n;
    return static_cast<long>(n);
  };
  std::int32_t status = -1;
  const PutFileRequest request{user, name, dir, static_cast<std::uint32_t>(content.size())};
  EXPECT_EQ(RequestPutFile(link, request, source, &status, kReplyTimeout), 0);
  return status;
}

std::string FileServiceFixture::Get(Connection* link, const std::string& dir, const std::string& name,
                                    GetFileReply* reply, std::uint16_t track, std::uint32_t user) {
  GetFileReply unused;
  std::string content;
  auto sink = [&content](std::string_view piece) {
    content += piece;
    return true;
  };
  EXPECT_EQ(RequestGetFile(link, {user, track, name, dir}, reply ? reply : &unused, sink, kReplyTimeout), 0);
  return content;
}

void FileServiceFixture::Send(Connection* link, std::uint16_t code, const std::string& block) {
  ASSERT_EQ(SendHeader(link, code), 0);
  ASSERT_EQ(SendBytes(link, block), 0);
}

void FileServiceFixture::ExpectInStep(Connection* link) {
  std::string tag;
  EXPECT_EQ(RequestServerInfo(link, &tag, kReplyTimeout), 0);
  EXPECT_EQ(tag, "<QLXServerVersion=1.20>");
}

std::string FileServiceFixture::Receive(Connection* link, std::size_t n) {
  std::string bytes(n, '\0');
  EXPECT_EQ(ReceiveBytes(link, bytes.data(), n, kReplyTimeout), 0);
  return bytes;
}

std::vector<std::string> FileServiceFixture::ReceiveItems(Connection* link, std::size_t count) {
  const KeySchedule schedule = CreateKeySchedule(kPassword);
  std::vector<std::string> items;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string header = ReadRaw(RawSocket(*link), 10);
    if (header.size() != 10) break;
    std::string body = ReadRaw(RawSocket(*link), GetU32(header.data() + 2));
    DecryptBuffer(schedule, body.data(), body.size());
    body.resize(std::min<std::size_t>(body.size(), GetU32(header.data() + 6)));
    items.push_back(std::move(body));
  }
  return items;
}

void FileServiceFixture::ExpectSessionEnd(Connection* link) {
  std::uint16_t code = 0;
  ASSERT_EQ(ReceiveHeader(link, &code, kReplyTimeout), 0);
  EXPECT_EQ(code, 3);
  char more;
  EXPECT_NE(ReceiveBytes(link, &more, 1, kReplyTimeout), 0);
}

bool FileServiceFixture::WaitForServiceLog(const std::string& prefix) {
  ActivityLog* log = server_->GetService(0)->GetServiceLog();
  return WaitUntil([&] {
    for (int i = 0; i < log->GetCount(); ++i) {
      if (auto record = log->GetRecord(i); record && record->GetField(2).starts_with(prefix)) return true;
    }
    return false;
  });
}

}  // namespace tarvex::testing
