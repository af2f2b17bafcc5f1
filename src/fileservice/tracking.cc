// Tracked files: TrackSentFile records a download in the files list
// "QLXFiles.txt", and ListTrackedFiles (103) reports a user's tracked files
// with their time stamps and sizes on the desktop now.
#include "common/big_endian.h"
#include "datafiles/file_list.h"
#include "datafiles/record_file_lock.h"
#include "fileservice/file_session.h"
#include "fileservice/file_stamp.h"
#include "platform/file_info.h"
#include "protocol/layouts.h"

namespace tarvex {

Status FileSession::TrackSentFile(std::uint32_t user_id, const std::string& name,
                                  const std::string& directory) {
  if (!data_dir_) return 1;
  // A download without a directory stands for the user's own directory.
  const std::string where = directory.empty() ? UserDirectory(user_id).value_or("") : directory;
  // Each completed download is written at once, so no crash loses it: the
  // list is read again under its lock, so that sessions tracking files at the
  // same time keep each other's records, and saved atomically.
  FileList files(*data_dir_, text_->Charset());
  RecordFileLock lock(files);
  if (!files.Load()) {
    SetMessage("Failed to read the tracked files list %s: %s", files.Path().c_str(),
               SystemErrorText(files.LoadError()).c_str());
    ReportEvent("Error");
    return 1;
  }
  if (FileRecord* record = files.FindFile(user_id, name)) {
    // The name takes the new spelling, the record the new directory.
    record->SetFileName(name);
    record->SetDirectory(where);
  } else if (!files.Add(std::make_unique<FileRecord>(user_id, name, where))) {
    SetMessage("Failed to track %s: the tracked files list is full", name.c_str());
    ReportEvent("Error");
    return 1;
  }
  if (!files.Save()) {
    SetMessage("Failed to save the tracked files list %s", files.Path().c_str());
    ReportEvent("Error");
    return 1;
  }
  return 0;
}

Status FileSession::ListTrackedFiles() {
  std::string block;
  if (Status s = ReceiveBlock(connection.get(), &block, receive_timeout_)) return s;
  if (block.size() < protocol::list_tracked::kBlockLength) return 1;
  const std::uint32_t user_id = GetU32(block.data() + protocol::list_tracked::kUserId);
  IdentifyDeviceUser(user_id);
  if (!data_dir_) return 1;
  FileList files(*data_dir_, text_->Charset());
  if (!files.Load()) {
    // Refused as an empty list; the file is left as it is.
    SetMessage("Failed to read the tracked files list %s: %s", files.Path().c_str(),
               SystemErrorText(files.LoadError()).c_str());
    ReportEvent("Error");
  }
  files.SetUserFilter(user_id);
  FrameBatch reply(connection.get());
  reply.Add(CountItem(static_cast<std::uint16_t>(files.CountMatching())));
  // As many files as the count told, even from a list with more.
  std::int16_t left = files.CountMatching();
  for (FileRecord* r = files.FindFirstFile(); r != nullptr && reply.Failure() == 0 && left-- > 0;
       r = files.FindNextFile()) {
    const DesktopPath desktop = LocateStored(r->GetDirectory(), r->GetFileName());
    const FileStamp stamp = GetFileStamp(desktop.name, desktop.directory);
    const std::string name = ToDevice(r->GetFileName(), UINT16_MAX);
    const std::string directory = ToDevice(r->GetDirectory(), UINT16_MAX);
    reply.Add(stamp.stamp);
    reply.Add(BigEndian32(stamp.size));
    reply.Add(BigEndian16(static_cast<std::uint16_t>(name.size())));
    reply.Add(name);
    reply.Add(BigEndian16(static_cast<std::uint16_t>(directory.size())));
    reply.Add(directory);
  }
  return reply.Flush();
}

}  // namespace tarvex
