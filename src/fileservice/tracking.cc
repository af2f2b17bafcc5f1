// Tracked files: TrackSentFile records a download in the files list
// "QLXFiles.txt", and ListTrackedFiles (103) reports a user's tracked files
// with their time stamps and sizes on the desktop now.
#include <algorithm>

#include "common/big_endian.h"
#include "datafiles/file_list.h"
#include "datafiles/record_file_lock.h"
#include "fileservice/file_session.h"
#include "fileservice/file_stamp.h"
#include "protocol/layouts.h"

namespace tarvex {

Status FileSession::TrackSentFile(std::uint32_t user_id, const std::string& name,
                                  const std::string& directory) {
  // A download without a directory stands for the user's own directory.
  const std::string where = directory.empty() ? UserDirectory(user_id).value_or("") : directory;
  if (!files_) {
    if (!data_dir_) return 1;
    files_ = std::make_unique<FileList>(*data_dir_, text_->Charset());
    files_->Load();
  }
  FileRecord* record = files_->FindFile(user_id, name);
  if (record == nullptr) {
    auto added = std::make_unique<FileRecord>(user_id, name, where);
    record = added.get();
    if (!files_->Add(std::move(added))) return 1;
  } else {
    // The name takes the new spelling, the record the new directory.
    record->SetFileName(name);
    record->SetDirectory(where);
  }
  if (std::find(tracked_.begin(), tracked_.end(), record) == tracked_.end()) tracked_.push_back(record);
  return 0;
}

void FileSession::SaveTrackedFiles() {
  if (tracked_.empty() || !data_dir_) return;
  // Another session may have saved the list since this one read it: read it
  // again and apply only this session's records, under the list's lock.
  FileList current(*data_dir_, text_->Charset());
  RecordFileLock lock(current);
  current.Load();
  for (const FileRecord* mine : tracked_) {
    if (FileRecord* found = current.FindFile(mine->GetUserId(), mine->GetFileName())) {
      found->SetFileName(mine->GetFileName());
      found->SetDirectory(mine->GetDirectory());
    } else {
      current.Add(std::make_unique<FileRecord>(mine->GetUserId(), mine->GetFileName(), mine->GetDirectory()));
    }
  }
  if (!current.Save()) {
    SetMessage("Failed to save the tracked files list %s", current.Path().c_str());
    ReportEvent("Error");
  }
}

Status FileSession::ListTrackedFiles() {
  std::string block;
  if (Status s = ReceiveBlock(connection.get(), &block, receive_timeout_)) return s;
  if (block.size() < protocol::list_tracked::kBlockLength) return 1;
  const std::uint32_t user_id = GetU32(block.data() + protocol::list_tracked::kUserId);
  IdentifyDeviceUser(user_id);
  if (!data_dir_) return 1;
  // The list as it is on disk: what this session tracked is written when it
  // ends.
  FileList files(*data_dir_, text_->Charset());
  files.Load();
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
