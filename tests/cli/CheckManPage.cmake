# Fails unless the generated manual page exists and carries its main sections.
if(NOT EXISTS "${MAN}")
  message(FATAL_ERROR "manual page not generated: ${MAN}")
endif()
file(READ "${MAN}" text)
foreach(needle ".TH RINGSEAM\\-CLI 1" ".SH NAME" ".SH SYNOPSIS" ".SH COMMANDS" ".SH OPTIONS" ".SH EXIT STATUS"
        "batch" "find\\-loop" "\\-\\-xi\\-sample" "\\-\\-version")
  string(FIND "${text}" "${needle}" pos)
  if(pos EQUAL -1)
    message(FATAL_ERROR "manual page lacks '${needle}'")
  endif()
endforeach()
