// The one way the system replaces a file: the new contents go to a temporary
// file beside the target (a name beginning with "." and ending in
// kSaveSuffix, so listings skip it), which is flushed to the disk and renamed
// over the target; on Linux the directory is then fsync'ed, on Windows the
// rename itself is written through (MoveFileExW). A crash, a full disk
// or a failed write leaves either the old file or the new one, never a torn or
// empty one, and no temporary file is left behind by a failure.
//
// On Linux a replaced file keeps its permission bits and a new file gets 0666
// less the process's umask; on Windows the file gets the folder's inherited
// permissions, and a read-only target is refused as not writable.
//
// SaveCalls is the seam under every save: the default makes the real system
// calls, and a test may pass its own to make any step fail. None of these
// objects is shared between threads; saves of different files may run at once.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tarvex {

// Every temporary file of a save ends in this suffix.
inline constexpr std::string_view kSaveSuffix = ".tvxsave";
// A named temporary file of an upload ends in this one instead, so that only
// uploads' leftovers are ever cleaned from a directory a device writes to.
inline constexpr std::string_view kUploadSuffix = ".tvxupload";

// An open temporary file: a descriptor on Linux, a HANDLE's value on Windows.
using SaveFile = std::intptr_t;
inline constexpr SaveFile kNoSaveFile = -1;

// The system calls a save makes. Each returns 0 or the system's error number
// (errno on Linux, GetLastError() on Windows).
class SaveCalls {
 public:
  virtual ~SaveCalls() = default;
  // Creates the file named by *name_template, whose last `suffix_length`
  // characters are a fixed suffix and the six before them XXXXXX, and fills
  // in the name (mkostemps on Linux).
  virtual int Create(std::string* name_template, int suffix_length, SaveFile* file);
  virtual int Write(SaveFile file, std::string_view bytes);  // all of them
  virtual int Sync(SaveFile file);
  virtual int Rename(const std::string& from, const std::string& to);
  // Opens an unnamed file in directory (O_TMPFILE) for writing; EOPNOTSUPP
  // (or EISDIR, EINVAL) where the file system or kernel cannot make one.
  // Windows has no unnamed files: an upload there never asks for one.
  virtual int CreateUnnamed(const std::string& directory, SaveFile* file);
  // Gives the unnamed file open at `file` the name `to`, which must not exist.
  virtual int Link(SaveFile file, const std::string& to);

  // The real calls; safe for concurrent use.
  static SaveCalls& Default();
};

// AtomicFile: a replacement of one file, written in pieces and then committed.
//
//   AtomicFile file(path);
//   if (!file.IsOpen()) ... file.Error() ...
//   file.Write(piece) ... file.Commit();
//
// Opening refuses a target that is a directory (EISDIR), that this process
// may not write (EACCES), or whose name is longer than a directory entry can
// hold (ENAMETOOLONG), before anything is created; a missing directory gives
// ENOENT. On Windows: ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED,
// ERROR_FILENAME_EXCED_RANGE and ERROR_PATH_NOT_FOUND. Once a step has
// failed, every later one fails with the same error and the target is never
// touched. Destroying an uncommitted file removes its temporary file. A file
// that replaces another keeps the old one's mode on Linux; on Windows its
// access list where that is the file's own, and its hidden, system and
// not-indexed marks.
//
// An upload (Kind::kUpload) is written into an unnamed file where the file
// system allows it, so that a crash leaves nothing behind; at Commit it gets
// a dot name and is renamed over the target. Where no unnamed file can be
// made, the directory is first cleared of stale upload files
// (RemoveStaleUploadFiles) and a named one ending in kUploadSuffix is used.
// The writer holds an exclusive flock() on its temporary file for its whole
// life (on Windows: keeps it open, which a cleaner's exclusive open cannot
// share), which is how a stale file (its writer gone) is told from one in use.
class AtomicFile {
 public:
  enum class Kind { kSave, kUpload };

  explicit AtomicFile(std::string path, SaveCalls& calls = SaveCalls::Default(),
                      Kind kind = Kind::kSave);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool IsOpen() const { return file_ != kNoSaveFile; }
  // The system's error number of the first failure, 0 while none happened.
  int Error() const { return error_; }
  const std::string& Path() const { return path_; }
  // The temporary file beside the target ("" when none could be made).
  const std::string& TemporaryPath() const { return temporary_; }

  bool Write(std::string_view bytes);
  // Syncs, renames over the target and syncs the directory. True when the
  // target now holds what was written.
  bool Commit();
  // Removes the temporary file; the target stays as it was.
  void Abandon();

 private:
  bool Fail(int error);
  // Opens a named temporary file ending in `suffix`.
  bool CreateNamed(std::string_view suffix);
  // Names the unnamed file next to the target; false with error_ set.
  bool LinkUnnamed();

  const std::string path_;
  SaveCalls& calls_;
  std::string temporary_;
  SaveFile file_ = kNoSaveFile;
  int error_ = 0;
  bool unnamed_ = false;  // file_ is an O_TMPFILE not linked yet
};

// Replaces the file at path with contents; true when it now holds them.
bool WriteFileAtomically(const std::string& path, std::string_view contents,
                         SaveCalls& calls = SaveCalls::Default());

// Removes the temporary files that saves interrupted by a crash left in the
// directory (names beginning with "." and ending in kSaveSuffix, and the
// given legacy names: "." + one of them + "." + six characters). Run at
// start-up, under the single-instance lock, before any save can be running.
// Returns how many were removed.
int RemoveStaleSaveFiles(const std::string& directory,
                         std::initializer_list<std::string_view> legacy_names = {});

// Removes the upload files that a crashed upload left in the directory: names
// beginning with "." and ending in kUploadSuffix, regular files whose lock no
// writer holds and that are at least `min_age_seconds` old (an upload that
// has just made its file takes its lock a moment later). Safe while other
// uploads into the directory run. Returns how many were removed.
int RemoveStaleUploadFiles(const std::string& directory, int min_age_seconds = 2);

}  // namespace tarvex
