// The help of ringseam-cli: the tool's overview, each command's page, the
// version line and the manual page (roff), all built from the command and
// option tables so they cannot drift apart.
#pragma once

#include "cli/CliOptions.h"

#include <ostream>

// "ringseam-cli 1.0.0"
const char* CliVersionLine();
void PrintToolHelp(std::ostream& out);
void PrintCommandHelp(std::ostream& out, ECliCommand command);
// The manual page ringseam-cli(1) in man(7) format.
void PrintManPage(std::ostream& out);
