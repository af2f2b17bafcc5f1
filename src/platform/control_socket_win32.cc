// The control socket on Windows: a TCP listener on 127.0.0.1 at a port the
// system picks, announced through a rendezvous file that only this user can
// read, holding "<port> <secret>\n". A client proves it read the file by
// sending the secret first (Unix-domain sockets, Windows 10 1803 and later,
// would do without the secret, but Wine 8 does not offer them).
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <ntsecapi.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/control_socket.h"
#include "platform/file_handle_win32.h"
#include "platform/private_files.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

constexpr char kFolderName[] = "Tarvex Server";
constexpr char kFileName[] = "control";
constexpr std::size_t kSecretBytes = 32;  // sent as 64 hex digits
constexpr std::chrono::seconds kSecretTime(1);

std::string Hex(const unsigned char* bytes, std::size_t n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < n; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

// A fresh secret from the system's random source; "" when it failed.
std::string NewSecret() {
  unsigned char bytes[kSecretBytes];
  if (!RtlGenRandom(bytes, sizeof bytes)) return "";
  return Hex(bytes, sizeof bytes);
}

// Writes the rendezvous file in its private folder, whose access list it
// inherits, replacing one a server that crashed left behind.
bool WriteRendezvous(const std::string& path, const std::string& text, int* error) {
  const std::wstring wide = ToWide(path);
  DeleteFileW(wide.c_str());  // CREATE_ALWAYS would keep an old file's own access list
  const UniqueHandle file(
      CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    *error = static_cast<int>(GetLastError());
    return false;
  }
  DWORD written = 0;
  if (!WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size()) {
    *error = static_cast<int>(GetLastError());
    return false;
  }
  return true;
}

// The port and secret of a rendezvous file; false when it holds none.
bool ReadRendezvous(const std::string& path, std::uint16_t* port, std::string* secret) {
  std::ifstream in(std::filesystem::path(ToWide(path)));
  unsigned number = 0;
  if (!(in >> number >> *secret) || number == 0 || number > 65535 || secret->size() != 2 * kSecretBytes) {
    return false;
  }
  *port = static_cast<std::uint16_t>(number);
  return true;
}

}  // namespace

std::string ControlSocketPath() {
  wchar_t* raw = nullptr;
  std::wstring folder = L".";
  if (SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &raw) == S_OK) folder = raw;
  CoTaskMemFree(raw);
  return FromWide((std::filesystem::path(folder) / kFolderName / kFileName).native());
}

Socket ListenControlSocket(const std::string& path, int* error) {
  int ignored = 0;
  int& failure = error != nullptr ? *error : ignored;
  failure = 0;
  const std::filesystem::path folder = std::filesystem::path(ToWide(path)).parent_path();
  if (!folder.empty() && !CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    failure = static_cast<int>(GetLastError());
    return Socket();
  }
  // Only this user may read the secret.
  if (!MakeFolderPrivate(FromWide(folder.native()))) {
    failure = static_cast<int>(GetLastError());
    return Socket();
  }
  const std::string secret = NewSecret();
  if (secret.empty()) {
    failure = static_cast<int>(GetLastError());
    return Socket();
  }
  Socket s = ListenTcp("127.0.0.1", 0, 8, &failure);
  if (!s.IsValid()) return s;
  if (!WriteRendezvous(path, std::to_string(LocalPort(s)) + " " + secret + "\n", &failure)) return Socket();
  return s;
}

Socket AcceptControlClient(const Socket& listener, const std::string& path) {
  Socket client = AcceptTcp(listener);
  if (!client.IsValid()) return client;
  // Only a program that could read the rendezvous file knows the secret.
  std::uint16_t port = 0;
  std::string expected;
  if (!ReadRendezvous(path, &port, &expected) || port != LocalPort(listener)) return Socket();
  std::string got(expected.size(), '\0');
  std::size_t have = 0;
  const auto deadline = std::chrono::steady_clock::now() + kSecretTime;
  while (have < got.size()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const long read = ReceiveSomeWithin(client, got.data() + have, got.size() - have,
                                        std::max(left, std::chrono::milliseconds(0)));
    if (read <= 0) return Socket();
    have += static_cast<std::size_t>(read);
  }
  unsigned char differs = 0;  // every byte compared, whatever matches
  for (std::size_t i = 0; i < got.size(); ++i) differs |= static_cast<unsigned char>(got[i] ^ expected[i]);
  if (differs != 0) return Socket();
  return client;
}

Socket ConnectControlSocket(const std::string& path) {
  std::uint16_t port = 0;
  std::string secret;
  if (!ReadRendezvous(path, &port, &secret)) return Socket();
  Socket s = ConnectTcp("127.0.0.1", port);
  if (!s.IsValid()) return s;
  std::string_view left = secret;
  while (!left.empty()) {
    const long sent = SendSomeWithin(s, left.data(), left.size(), kSecretTime);
    if (sent <= 0) return Socket();
    left.remove_prefix(static_cast<std::size_t>(sent));
  }
  return s;
}

void RemoveControlSocket(const std::string& path) { DeleteFileW(ToWide(path).c_str()); }

}  // namespace tarvex
