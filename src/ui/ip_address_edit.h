// IpAddressEdit: an IPv4 address typed as four fields of up to three digits.
// A field that is full, or a "." typed in it, moves the focus to the next
// field. Address() gives the dotted text only when every field holds a
// number from 0 to 255; IsBlank() tells whether no field holds anything.
#pragma once

#include <QtWidgets/QWidget>

#include <array>
#include <optional>
#include <string>

class QLineEdit;

namespace tarvex {

class IpAddressEdit : public QWidget {
  Q_OBJECT

 public:
  explicit IpAddressEdit(QWidget* parent = nullptr);

  // Fills the fields from a dotted text; a malformed text leaves them blank.
  void SetAddress(const std::string& dotted);
  // "%d.%d.%d.%d", or none unless all four fields hold 0 to 255.
  std::optional<std::string> Address() const;
  bool IsBlank() const;

 private:
  std::array<QLineEdit*, 4> fields_;
};

}  // namespace tarvex
