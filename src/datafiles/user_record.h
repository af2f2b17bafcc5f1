// UserRecord: a device user, one line of the users file: "id","name".
// The note text comes with a new user's request; it is never written to the
// file and is empty after a load.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "datafiles/list_record.h"

namespace tarvex {

class UserRecord : public ListRecord {
 public:
  UserRecord() = default;
  UserRecord(std::uint32_t user_id, std::string user_name, std::string note_text = {});

  bool FormatLine(std::string* line) const override;
  bool ParseLine(std::string_view line) override;

  std::uint32_t GetUserId() const { return user_id_; }
  void SetUserId(std::uint32_t user_id) { user_id_ = user_id; }
  const std::string& GetUserName() const { return user_name_; }
  void SetUserName(std::string user_name) { user_name_ = std::move(user_name); }
  const std::string& GetNoteText() const { return note_text_; }
  void SetNoteText(std::string note_text) { note_text_ = std::move(note_text); }

 private:
  std::string user_name_;
  std::string note_text_;
  std::uint32_t user_id_ = 0;
};

}  // namespace tarvex
