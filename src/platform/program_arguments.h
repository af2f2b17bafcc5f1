// The program's command-line arguments after its own name, as UTF-8 texts.
// On Linux they are argv as given (bytes, as the system passes them). On
// Windows argv holds them in the ANSI code page, which cannot hold every
// name, so they are read again from the process's UTF-16 command line.
#pragma once

#include <string>
#include <vector>

namespace tarvex {

std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace tarvex
