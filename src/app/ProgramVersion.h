// The program's name and version as the About box shows them. Both programs
// print this line for --version, so a packager reads the same text as a user.
#pragma once

inline constexpr char kProgramVersionText[] = "Ringseam Version 1.0";
