// The program icon, drawn for Tarvex Server as an SVG and built into the
// program (the same file is installed as the desktop icon). Needs Qt's SVG
// icon engine at run time.
#pragma once

#include <QtGui/QIcon>

namespace tarvex {

QIcon ProgramIcon();

}  // namespace tarvex
