#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <streambuf>

#include "platform/terminal.h"
#include "platform/wide_text_win32.h"

namespace tarvex {
namespace {

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// Standard output or error on a console: the program's UTF-8 text goes out
// as UTF-16 through WriteConsoleW, whatever the console's code page and the C
// runtime's locale (which would read it byte by byte in the code page). A
// UTF-8 sequence cut at the end of the buffer waits for its other bytes.
class ConsoleBuffer final : public std::streambuf {
 public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) { setp(buffer_, buffer_ + sizeof buffer_); }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override {
    const std::string_view held(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    const std::size_t whole = WholeSequences(held);
    const std::wstring wide = ToWide(held.substr(0, whole));
    for (std::size_t done = 0; done < wide.size();) {
      DWORD written = 0;
      const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
      if (!WriteConsoleW(console_, wide.data() + done, piece, &written, nullptr) || written == 0) return -1;
      done += written;
    }
    const std::size_t rest = held.size() - whole;
    std::memmove(buffer_, held.data() + whole, rest);
    setp(buffer_, buffer_ + sizeof buffer_);
    pbump(static_cast<int>(rest));
    return 0;
  }

 private:
  // How many bytes of `text` end in a whole UTF-8 sequence.
  static std::size_t WholeSequences(std::string_view text) {
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
      const auto byte = static_cast<unsigned char>(text[text.size() - back]);
      if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
      const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
      return length > back ? text.size() - back : text.size();
    }
    return text.size();
  }

  HANDLE console_;
  char buffer_[4096];
};

// The streams are the process's own, so their console buffers are too. They
// are destroyed at exit, after the streams have their own buffers back.
class ConsoleStreams {
 public:
  ConsoleStreams()
      : out_(GetStdHandle(STD_OUTPUT_HANDLE)),
        err_(GetStdHandle(STD_ERROR_HANDLE)),
        old_out_(IsConsole(STD_OUTPUT_HANDLE) ? std::cout.rdbuf(&out_) : nullptr),
        old_err_(IsConsole(STD_ERROR_HANDLE) ? std::cerr.rdbuf(&err_) : nullptr) {
    if (old_err_ != nullptr) std::clog.rdbuf(&err_);
  }
  ~ConsoleStreams() {
    if (old_out_ != nullptr) {
      std::cout.flush();
      std::cout.rdbuf(old_out_);
    }
    if (old_err_ != nullptr) {
      std::cerr.flush();
      std::clog.flush();
      std::cerr.rdbuf(old_err_);
      std::clog.rdbuf(old_err_);
    }
  }
  ConsoleStreams(const ConsoleStreams&) = delete;
  ConsoleStreams& operator=(const ConsoleStreams&) = delete;

 private:
  ConsoleBuffer out_;
  ConsoleBuffer err_;
  std::streambuf* old_out_;
  std::streambuf* old_err_;
};

// One line typed at the console, in UTF-8 without its line end; none at the
// end of input (Ctrl-Z at the start of a line) or when reading fails.
std::optional<std::string> ReadConsoleLine(HANDLE input) {
  std::wstring line;
  wchar_t piece[256];
  while (line.empty() || line.back() != L'\n') {
    DWORD got = 0;
    SetLastError(ERROR_SUCCESS);
    const bool read = ReadConsoleW(input, piece, static_cast<DWORD>(std::size(piece)), &got, nullptr) != 0;
    if (!read || got == 0) {
      // Ctrl-C, when it does not end the program, stops the read with nothing
      // read: the typing goes on.
      if (GetLastError() == ERROR_OPERATION_ABORTED) continue;
      return std::nullopt;
    }
    line.append(piece, got);
  }
  while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) line.pop_back();
  if (!line.empty() && line.front() == L'\x1a') return std::nullopt;
  return FromWide(line);
}

}  // namespace

void KeepStandardStreamsOpen() {
  // There are no numbered descriptors a file could take over here; what the
  // program prints is UTF-8, so the consoles among the streams are given it
  // as such.
  static ConsoleStreams streams;
}

bool IsInteractive() { return IsConsole(STD_INPUT_HANDLE) && IsConsole(STD_ERROR_HANDLE); }

bool StandardErrorIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

std::optional<std::string> AskLine(std::string_view prompt, bool hidden) {
  std::cerr << prompt << std::flush;
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  if (!GetConsoleMode(input, &saved)) {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  const bool masked = hidden && SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  std::optional<std::string> line = ReadConsoleLine(input);
  if (masked) {
    SetConsoleMode(input, saved);
    std::cerr << '\n';
  }
  return line;
}

}  // namespace tarvex
