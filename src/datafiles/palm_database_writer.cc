#include "datafiles/palm_database_writer.h"

#include <limits>

#include "common/big_endian.h"
#include "platform/file_info.h"

namespace tarvex {
namespace {

constexpr std::uint32_t kFixedDate = 1000;
constexpr std::size_t kMaxRecords = std::numeric_limits<std::uint16_t>::max();

}  // namespace

void PalmDatabaseWriter::BeginDatabase(std::string_view name, const std::string& path) {
  name_ = std::string(name.substr(0, kPalmNameField - 1));
  offsets_.clear();
  data_.clear();
  error_.clear();
  output_ = std::make_unique<AtomicFile>(path, calls_);
}

bool PalmDatabaseWriter::AppendRecord(std::string_view bytes) {
  const std::size_t end_of_list = kPalmHeaderSize + kPalmEntrySize * (offsets_.size() + 1);
  if (offsets_.size() >= kMaxRecords ||
      end_of_list + data_.size() + bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
    return false;
  }
  offsets_.push_back(static_cast<std::uint32_t>(data_.size()));
  data_.append(bytes);
  return true;
}

bool PalmDatabaseWriter::FinishDatabase() {
  if (!output_) {
    error_ = "no database was begun";
    return false;
  }
  std::string file(kPalmHeaderSize, '\0');
  name_.copy(file.data(), name_.size());
  char* header = file.data();
  PutU32(header + 36, kFixedDate);  // creation
  PutU32(header + 40, kFixedDate);  // modification
  file.replace(60, 4, "data");
  file.replace(64, 4, "QLCl");
  PutU16(header + 76, static_cast<std::uint16_t>(offsets_.size()));

  const auto list_end = static_cast<std::uint32_t>(kPalmHeaderSize + kPalmEntrySize * offsets_.size());
  for (std::uint32_t offset : offsets_) {
    AppendU32(file, list_end + offset);
    AppendU32(file, 0);  // attributes and unique id
  }
  file += data_;

  const bool written = output_->Write(file) && output_->Commit();
  if (!written) {
    error_ = "cannot write " + output_->Path() + ": " + SystemErrorText(output_->Error());
  }
  output_.reset();
  return written;
}

}  // namespace tarvex
