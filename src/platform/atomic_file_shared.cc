// The parts of the atomic save that read the same on both platforms, on the
// calls of atomic_file_native.h.
#include <random>
#include <utility>

#include "platform/atomic_file_native.h"
#include "platform/path.h"

namespace tarvex {
namespace {

// The name of a temporary file keeps at most this much of the target's name,
// so that a long target name still leaves room for the rest of it.
constexpr std::size_t kKeptNameLength = 64;

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

std::string RandomCharacters(std::size_t count) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device source;
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += kAlphabet[pick(source)];
  return text;
}

std::string TemporaryName(const std::string& path, std::string_view random, std::string_view suffix) {
  const auto [directory, name] = SplitPath(path);
  return std::string(directory) + "." + std::string(name.substr(0, kKeptNameLength)) + "." + std::string(random) +
         std::string(suffix);
}

bool IsSaveLeftover(std::string_view name, std::initializer_list<std::string_view> legacy_names) {
  if (name.size() < 2 || name[0] != '.') return false;
  bool matches = EndsWith(name, kSaveSuffix);
  for (std::string_view legacy : legacy_names) {
    matches = matches || (name.size() == legacy.size() + 2 + kRandomLength && name.substr(1, legacy.size()) == legacy &&
                          name[legacy.size() + 1] == '.');
  }
  return matches;
}

bool IsUploadLeftover(std::string_view name) {
  return name.size() > kUploadSuffix.size() + 1 && name[0] == '.' && EndsWith(name, kUploadSuffix);
}

SaveCalls& SaveCalls::Default() {
  // Stateless; one object serves every save.
  static SaveCalls calls;
  return calls;
}

bool AtomicFile::CreateNamed(std::string_view suffix) {
  std::string name_template = TemporaryName(path_, std::string(kRandomLength, 'X'), suffix);
  SaveFile file = kNoSaveFile;
  if (int failed = calls_.Create(&name_template, static_cast<int>(suffix.size()), &file)) return Fail(failed);
  file_ = file;
  temporary_ = std::move(name_template);
  return true;
}

AtomicFile::~AtomicFile() { Abandon(); }

bool AtomicFile::Fail(int error) {
  if (error_ == 0) error_ = error;
  Abandon();
  return false;
}

void AtomicFile::Abandon() {
  if (file_ != kNoSaveFile) CloseSaveFile(std::exchange(file_, kNoSaveFile));
  if (!temporary_.empty()) {
    RemoveSaveFile(temporary_);
    temporary_.clear();
  }
}

bool AtomicFile::Write(std::string_view bytes) {
  if (file_ == kNoSaveFile) return Fail(error_ ? error_ : ClosedFileError());
  if (int failed = calls_.Write(file_, bytes)) return Fail(failed);
  return true;
}

bool AtomicFile::Commit() {
  if (file_ == kNoSaveFile) return Fail(error_ ? error_ : ClosedFileError());
  if (int failed = calls_.Sync(file_)) return Fail(failed);
  if (unnamed_ && !LinkUnnamed()) return false;
  // The file stays open (an upload's lock held, or on Windows no cleaner's
  // exclusive open let in) until it is renamed.
  if (int failed = calls_.Rename(temporary_, path_)) return Fail(failed);
  temporary_.clear();
  CloseSaveFile(std::exchange(file_, kNoSaveFile));
  MakeRenameDurable(Dirname(path_));
  return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view contents, SaveCalls& calls) {
  AtomicFile file(path, calls);
  return file.Write(contents) && file.Commit();
}

}  // namespace tarvex
