// The parts of FileReader both platforms share, on the calls of
// file_reader_native.h.
#include "platform/file_reader.h"

#include "platform/file_reader_native.h"

namespace tarvex {

FileReader::~FileReader() {
  if (file_ != -1) CloseReadFile(file_);
}

long FileReader::Read(char* out, std::size_t n) {
  if (file_ == -1) return -1;
  std::size_t got = 0;
  while (got < n) {
    const long read = ReadFromFile(file_, out + got, n - got, &error_);
    if (read < 0) return -1;
    if (read == 0) break;
    got += static_cast<std::size_t>(read);
  }
  return static_cast<long>(got);
}

int ReadWholeFile(const std::string& path, std::string* contents) {
  contents->clear();
  FileReader file(path);
  if (!file.IsOpen()) {
    return file.Missing() || file.Error() != NotFoundError() ? file.Error() : DanglingLinkError();
  }
  char chunk[64 * 1024];
  for (;;) {
    const long got = file.Read(chunk, sizeof chunk);
    if (got < 0) {
      contents->clear();
      return file.Error();
    }
    if (got == 0) return 0;
    contents->append(chunk, static_cast<std::size_t>(got));
  }
}

}  // namespace tarvex
