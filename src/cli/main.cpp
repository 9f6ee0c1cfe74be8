// ringseam-cli: the headless command-line program (no Qt).
#include "cli/CliApp.h"
#include "cli/CliInterrupt.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    InstallInterruptHandler();
    int code = RunCli(args, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
    if (code != 0 && IsInterrupted())
        code = kExitInterrupted;
    std::cout.flush();
    if (!std::cout)
        return code == 0 ? 1 : code;  // e.g. stdout closed or disk full: the output is lost
    return code;
}
