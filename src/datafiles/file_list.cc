#include "datafiles/file_list.h"

#include "common/ascii.h"

namespace tarvex {

FileList::FileList(std::string_view directory, std::string_view legacy_charset)
    : RecordFile(directory, kFilesFileName, legacy_charset) {}

FileRecord* FileList::FindFile(std::uint32_t user_id, std::string_view file_name) {
  for (const auto& record : Records()) {
    auto* file = dynamic_cast<FileRecord*>(record.get());
    if (file != nullptr && file->GetUserId() == user_id &&
        EqualsIgnoreCaseAscii(file->GetFileName(), file_name)) {
      return file;
    }
  }
  return nullptr;
}

FileRecord* FileList::FindFirstFile() { return static_cast<FileRecord*>(FindFirst()); }

FileRecord* FileList::FindNextFile() { return static_cast<FileRecord*>(FindNext()); }

std::unique_ptr<ListRecord> FileList::CreateRecord() const {
  return std::make_unique<FileRecord>();
}

bool FileList::Matches(const ListRecord& record) const {
  const auto* file = dynamic_cast<const FileRecord*>(&record);
  return file != nullptr && (!filter_user_id_ || file->GetUserId() == *filter_user_id_);
}

}  // namespace tarvex
