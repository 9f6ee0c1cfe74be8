// The whole ringseam-cli program behind main(): parses the arguments,
// prints help or version, or runs one command. Returns the exit code
// (kExitOk, kExitFailure, kExitUsage).
#pragma once

#include <ostream>
#include <string>
#include <vector>

// args: the arguments after the program name. bErrIsTerminal: whether err
// is a terminal, which turns the progress bars on.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool bErrIsTerminal);
