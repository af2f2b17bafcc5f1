#include "ui/program_icon.h"

namespace tarvex {

QIcon ProgramIcon() { return QIcon(QStringLiteral(":/tarvex/tarvex-server.svg")); }

}  // namespace tarvex
