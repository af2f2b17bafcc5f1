// The controlling terminal and the standard streams, for programs that ask
// their user questions or report on standard error.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

// On Linux opens /dev/null on standard input, output or error wherever one is
// closed, so that no file the program opens later takes that number and
// receives what the program writes to the stream. On Windows it has the
// console show the program's UTF-8 output as such (until the program ends).
// Call it first thing in main.
void KeepStandardStreamsOpen();

// True when standard input and standard error are both terminals (on Windows:
// consoles, not pipes or files).
bool IsInteractive();

// True when standard error is a terminal (progress may be drawn there).
bool StandardErrorIsTerminal();

// Prints the prompt on standard error and reads one line from standard input
// (without its line end, in UTF-8); none at end of input. With `hidden` the
// typed characters are not echoed.
std::optional<std::string> AskLine(std::string_view prompt, bool hidden);

}  // namespace tarvex
