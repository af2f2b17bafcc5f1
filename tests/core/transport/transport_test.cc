#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>

#include "common/big_endian.h"
#include "core/cipher/link_key.h"
#include "core/transport/frame_batch.h"
#include "core/transport/listener.h"
#include "core/transport/login_reader.h"
#include "support/loopback.h"

namespace tarvex {
namespace {

using testing::LoopbackPair;
using testing::MakeLoopbackPair;
using testing::RawSocket;
using testing::ReadRaw;
using testing::WriteRaw;
using namespace std::string_view_literals;

constexpr std::string_view kPassword = "link secret";
constexpr int kWait = 50;  // tenths; a passing test never waits it out

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string FrameHeader(std::uint32_t padded, std::uint32_t plain) {
  std::string out;
  AppendU16(out, 10);
  AppendU32(out, padded);
  AppendU32(out, plain);
  return out;
}

// A well-formed frame, built by hand as a device builds it.
std::string Frame(const KeySchedule& ks, std::string_view plain) {
  std::string body(plain);
  body.resize((plain.size() & ~std::size_t{7}) + 8, '\0');
  EncryptBuffer(ks, body.data(), body.size());
  return FrameHeader(static_cast<std::uint32_t>(body.size()),
                     static_cast<std::uint32_t>(plain.size())) + body;
}

// The next n bytes of the stream, as a receive hands them out.
std::string Receive(Connection* c, std::size_t n) {
  std::string out(n, '\0');
  EXPECT_EQ(ReceiveBytes(c, out.data(), n, kWait), 0);
  return out;
}

std::string Block(std::uint16_t length, std::string_view body) {
  std::string out;
  AppendU16(out, length);
  out.append(body);
  out.resize(length, '\0');
  return out;
}

class TransportTest : public ::testing::Test {
 protected:
  Connection* server() { return link_.server.get(); }
  Connection* client() { return link_.client.get(); }
  const Socket& client_socket() { return RawSocket(*link_.client); }

  const KeySchedule ks_ = CreateKeySchedule(kPassword);
  LoopbackPair link_ = MakeLoopbackPair(kPassword);
};

TEST_F(TransportTest, SendsAndBatchesPutOneFrameOfWholeEncipheredBlocksPerItem) {
  ASSERT_EQ(SendBytes(server(), "eight by"), 0);  // a whole block still gets a padding block
  ASSERT_EQ(SendHeader(server(), 3), 0);
  std::string expected = Frame(ks_, "eight by") + Frame(ks_, "\0\x04\0\x03"sv);
  // A batch puts on the wire what one send per item would.
  const std::string big(FrameBatch::kFlushSize, 'x');  // forces a send of its own
  FrameBatch batch(server());
  for (const std::string& item : {std::string(), std::string("abc"), big, std::string("thirteen byte")}) {
    batch.Add(item);
    // An item too large for one frame takes as many as SendBytes gives it.
    for (std::size_t at = 0; at == 0 || at < item.size(); at += kMaxFramePayload) {
      expected += Frame(ks_, std::string_view(item).substr(at, kMaxFramePayload));
    }
  }
  // Read straight into the frame: a short fill makes a short item; a fill
  // that ends or fails adds nothing.
  auto fill = [](long result) {
    return [result](char* out, std::size_t) {
      if (result > 0) std::memcpy(out, "short", static_cast<std::size_t>(result));
      return result;
    };
  };
  EXPECT_EQ(batch.AddFrom(16, fill(5)), 5);
  EXPECT_EQ(batch.AddFrom(16, fill(0)), 0);
  EXPECT_EQ(batch.AddFrom(16, fill(-1)), -1);
  expected += Frame(ks_, "short");
  ASSERT_EQ(batch.Flush(), 0);
  EXPECT_EQ(ReadRaw(client_socket(), expected.size()), expected);
  EXPECT_EQ(WaitReadable(client_socket(), 0), WaitResult::kTimedOut);  // nothing more

  FrameBatch broken(nullptr);
  broken.Add("lost");
  EXPECT_EQ(broken.Flush(), 2);
  EXPECT_LT(broken.AddFrom(4, fill(4)), 0) << "nothing is added after a failed send";
}

TEST_F(TransportTest, ReadingAheadHandsOutTheStreamAndKeepsWholeFramesOnFailure) {
  const std::string big(30000, 'b');
  FrameBatch batch(server());
  for (const std::string& item : {std::string("abc"), big, std::string("tail")}) batch.Add(item);
  ASSERT_EQ(batch.Flush(), 0);
  EXPECT_EQ(Receive(client(), 3), "abc");
  EXPECT_EQ(Receive(client(), big.size()), big);
  EXPECT_EQ(Receive(client(), 4), "tail");

  // A frame that cannot be read fails the receive; the whole frame before
  // it stays pending, and nothing is handed out by the failed call.
  ASSERT_TRUE(WriteRaw(RawSocket(*link_.server), Frame(ks_, "good") + FrameHeader(12, 4) + "junkjunkjunk"));
  std::string got(8, 'x');
  EXPECT_EQ(ReceiveBytes(client(), got.data(), 8, kWait), 14);
  EXPECT_EQ(got, "xxxxxxxx");
  EXPECT_EQ(Receive(client(), 4), "good");
}

TEST_F(TransportTest, ReceivesDrawFromTheStreamWhateverTheFrameBoundaries) {
  ASSERT_EQ(SendBytes(client(), Block(10, "abc").substr(0, 5)), 0);  // a block split over two frames
  ASSERT_EQ(SendBytes(client(), "defgh"), 0);
  std::string block;
  ASSERT_EQ(ReceiveBlock(server(), &block, kWait), 0);
  EXPECT_EQ(block, Block(10, "abcdefgh"));
  ASSERT_EQ(SendBytes(client(), "abcdef"), 0);
  EXPECT_EQ(Receive(server(), 4), "abcd");  // "ef" pending
  ASSERT_EQ(SendBytes(client(), "ghijkl"), 0);
  EXPECT_EQ(Receive(server(), 4), "efgh");
  // Two blocks in one frame; the peer closes, so what is pending must serve.
  ASSERT_TRUE(WriteRaw(client_socket(), Frame(ks_, Block(6, "\0\x65wx"sv) + Block(5, "abc"))));
  CloseConnection(client());
  EXPECT_EQ(Receive(server(), 4), "ijkl");
  ASSERT_EQ(ReceiveBlock(server(), &block, kWait), 0);
  EXPECT_EQ(block, Block(6, "\0\x65wx"sv));
  ASSERT_EQ(ReceiveBlock(server(), &block, kWait), 0);
  EXPECT_EQ(block, Block(5, "abc"));
  EXPECT_EQ(ReceiveBlock(server(), &block, kWait), 14);
}

// The server's login loop reads a login from whatever has arrived: it must
// never wait, never lose the bytes the session reads next, read at most 15
// bytes of a field, and tell a link keyed with another password from its
// first frame.
TEST(LoginReaderTest, TakesARequestInAnyFramingKeepsWhatFollowsAndTellsAWrongKeyAtOnce) {
  using Progress = LoginReader::Progress;
  auto settle = [](LoginReader& reader, Connection* c) {
    Progress p = reader.ReadAvailable(c);
    while (p == Progress::kMore &&
           WaitReadable(RawSocket(*c), std::chrono::milliseconds(300)) == WaitResult::kReady) {
      p = reader.ReadAvailable(c);
    }
    return p;
  };
  const KeySchedule ks = CreateKeySchedule(kPassword);
  const std::string request = Block(36, std::string("\0\x03"sv) + "ABCDEFGHIJKLMNOP" + "pw");
  {
    LoopbackPair link = MakeLoopbackPair(kPassword);
    LoginReader reader;
    EXPECT_EQ(reader.ReadAvailable(link.server.get()), Progress::kMore);  // nothing came: no wait
    const std::string rest = Frame(ks, request.substr(20) + "next");
    ASSERT_TRUE(WriteRaw(RawSocket(*link.client), Frame(ks, "") + Frame(ks, request.substr(0, 20)) + rest.substr(0, 7)));
    EXPECT_EQ(settle(reader, link.server.get()), Progress::kMore);
    ASSERT_TRUE(WriteRaw(RawSocket(*link.client), rest.substr(7)));
    ASSERT_EQ(settle(reader, link.server.get()), Progress::kComplete);
    EXPECT_EQ(reader.Request().service_id, 3);
    EXPECT_EQ(reader.Request().login, "ABCDEFGHIJKLMNO");
    EXPECT_EQ(reader.Request().password, "pw");
    EXPECT_EQ(Receive(link.server.get(), 4), "next");
  }
  {
    // Keyed with another password, the length field deciphers to noise.
    const KeySchedule other = CreateKeySchedule("not the password");
    LoopbackPair link = MakeLoopbackPair(kPassword);
    LoginReader reader;
    ASSERT_TRUE(WriteRaw(RawSocket(*link.client), Frame(other, request)));
    EXPECT_EQ(settle(reader, link.server.get()), Progress::kWrongKey);
  }
  for (const std::string& wire : {FrameHeader(12, 4) + std::string(12, 'x'), Frame(ks, request.substr(0, 30))}) {
    LoopbackPair link = MakeLoopbackPair(kPassword);
    LoginReader reader;
    ASSERT_TRUE(WriteRaw(RawSocket(*link.client), wire));
    CloseConnection(link.client.get());  // a malformed frame, or a peer that leaves mid-request
    EXPECT_EQ(settle(reader, link.server.get()), Progress::kFailed);
  }
}

// Each input below would, if accepted, have a receive read past a buffer or
// hand out bytes that were never sent.
TEST(TransportRefusalTest, MalformedInputIsRefusedAndTheReceiverSurvives) {
  const KeySchedule ks = CreateKeySchedule(kPassword);
  auto bytes = [](Connection* c, std::size_t n) {
    std::string out(n, '\0');
    return ReceiveBytes(c, out.data(), n, kWait);
  };
  auto block = [](Connection* c) { std::string b; return ReceiveBlock(c, &b, kWait); };
  auto header = [](Connection* c) { std::uint16_t code; return ReceiveHeader(c, &code, kWait); };
  auto login = [](Connection* c) { LoginRequest r; return ReceiveLogin(c, &r, kWait); };
  const struct {
    const char* what;
    std::string wire;
    std::function<Status(Connection*)> receive;
  } kCases[] = {
      {"plain length beyond padded length",
       FrameHeader(16, 1000) + Frame(ks, "0123456789abcde").substr(10),
       [&](Connection* c) { return bytes(c, 1000); }},
      {"padded length 0", FrameHeader(0, 0) + Frame(ks, "abcd"),
       [&](Connection* c) { return bytes(c, 4); }},
      {"padded length 32768", FrameHeader(32768, 4) + std::string(32768, 'x'),
       [&](Connection* c) { return bytes(c, 4); }},
      {"block length 1", Frame(ks, "\0\x01zzzz"sv), block},
      {"command block of 3 bytes", Frame(ks, Block(3, "\x65") + "zz"), header},
      {"login request of 34 bytes", Frame(ks, Block(34, "\0\x03" "ann"sv) + "zz"), login},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    LoopbackPair link = MakeLoopbackPair(kPassword);
    ASSERT_TRUE(WriteRaw(RawSocket(*link.client), c.wire));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.receive(link.server.get()), 14);
    EXPECT_LT(SecondsSince(start), 2.0);  // refused, not timed out
  }
}

TEST_F(TransportTest, ReceiveFailsInWholeSecondsWhenThePeerIsSilentAndAtOnceWhenItClosed) {
  char bytes[3];
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReceiveBytes(server(), bytes, 3, 19), 14);  // 19 tenths wait 1 s
  EXPECT_GT(SecondsSince(start), 0.9);
  EXPECT_LT(SecondsSince(start), 1.9);
  CloseConnection(client());
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(ReceiveBytes(server(), bytes, 1, 100), 14);
  EXPECT_LT(SecondsSince(start), 3.0);  // the time-out is 10 s
}

TEST_F(TransportTest, ConnectionKeepsItsScheduleWhenTheLinkKeyIsReleasedOrReplaced) {
  ReleaseLinkKeySchedule();
  // While the password stays, every link shares one schedule.
  EXPECT_EQ(GetLinkKeySchedule("a new password"), GetLinkKeySchedule("a new password"));
  ASSERT_EQ(SendHeader(client(), 2), 0);
  std::uint16_t code = 0;
  ASSERT_EQ(ReceiveHeader(server(), &code, kWait), 0);
  EXPECT_TRUE(IsEndSession(server(), code));
  ASSERT_EQ(SendBytes(server(), "bye"), 0);
  EXPECT_EQ(Receive(client(), 3), "bye");
  ReleaseLinkKeySchedule();
}

TEST(ListenerTest, AcceptWithNothingPendingWaitsAndAPortInUseIsRefused) {
  auto listener = CreateListener();
  ASSERT_EQ(Listen(listener.get(), 0, 4, "127.0.0.1"), 0);
  Status code = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(AcceptConnection(listener.get(), 5, &code), nullptr);  // 5 tenths wait 1 s
  EXPECT_EQ(code, 5);
  EXPECT_GT(SecondsSince(start), 0.9);
  auto second = CreateListener();
  EXPECT_EQ(Listen(second.get(), ListeningPort(listener.get()), 4, "127.0.0.1"), 8);  // in use
}

}  // namespace
}  // namespace tarvex
