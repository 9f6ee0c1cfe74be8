// Ctrl+C (SIGINT) and SIGTERM for ringseam-cli: the first one asks the run
// to stop at the next safe point (a bank computation in progress is
// cancelled, a batch starts no further file, a save under way completes or
// leaves its target untouched); a second one ends the process at once.
// Only the program installs the handler; in-process callers (tests,
// benchmarks) never see an interrupt.
#pragma once

// Installs the handlers; call once from main.
void InstallInterruptHandler();
// Whether an interrupt arrived. Safe from any thread.
bool IsInterrupted();

// Exit code of a run that was interrupted (128 + SIGINT, as shells expect).
inline constexpr int kExitInterrupted = 130;
