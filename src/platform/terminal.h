// The controlling terminal, for programs that ask their user questions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

// True when standard input and standard error are both terminals.
bool IsInteractive();

// True when standard error is a terminal (progress may be drawn there).
bool StandardErrorIsTerminal();

// Prints the prompt on standard error and reads one line from standard input
// (without its line end); none at end of input. With `hidden` the typed
// characters are not echoed.
std::optional<std::string> AskLine(std::string_view prompt, bool hidden);

}  // namespace tarvex
