#include "cli/CliApp.h"

#include "cli/BatchRunner.h"
#include "cli/CliCommands.h"
#include "cli/CliHelp.h"
#include "cli/CliLoops.h"
#include "cli/CliOptions.h"

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool bErrIsTerminal)
{
    CCliOptions options;
    try {
        options = ParseCommandLine(args);
    } catch (const CUsageError& e) {
        const CCliCommandInfo* c = FindCliCommand(e.m_command);
        PrintCliError(err, {}, std::string(e.what()) + " (see '" + kCliName + (c ? std::string(" ") + c->m_pszName : "") +
                                   " --help')");
        return kExitUsage;
    }
    if (options.m_bVersion) {
        out << CliVersionLine() << '\n';
        return kExitOk;
    }
    if (options.m_bHelpMan) {
        PrintManPage(out);
        return kExitOk;
    }
    if (options.m_bHelp) {
        if (options.m_command == ECliCommand::None)
            PrintToolHelp(out);
        else
            PrintCommandHelp(out, options.m_command);
        return kExitOk;
    }

    CCliStreams io{out, err, bErrIsTerminal};
    switch (options.m_command) {
    case ECliCommand::Info: return RunInfo(options, io);
    case ECliCommand::Convert: return RunConvert(options, io);
    case ECliCommand::FindLoop: return RunFindLoop(options, io);
    case ECliCommand::Curves: return RunCurves(options, io);
    case ECliCommand::CombFilter: return RunCombFilter(options, io);
    case ECliCommand::Batch: return RunBatch(options, io);
    case ECliCommand::Score: return RunScore(options, io);
    case ECliCommand::Loops: return RunLoops(options, io);
    case ECliCommand::ApplyLoops: return RunApplyLoops(options, io);
    case ECliCommand::ExportLoop: return RunExportLoop(options, io);
    case ECliCommand::Trim: return RunTrim(options, io);
    case ECliCommand::Pitch: return RunPitch(options, io);
    case ECliCommand::None: break;
    }
    PrintCliError(err, {}, "no command given");
    return kExitUsage;
}
