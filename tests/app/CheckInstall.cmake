# Installs the build into a scratch prefix and checks that both programs and
# the command-line tool's manual page are installed, and that the desktop files
# land where desktops look for them, naming the program, its icon and both types.
# Inputs: BUILD_DIR, PREFIX.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/ringseam bin/ringseam-cli share/man/man1/ringseam-cli.1
          share/applications/ringseam.desktop share/icons/hicolor/scalable/apps/ringseam.svg
          share/mime/packages/ringseam-xi.xml)
  if(NOT EXISTS "${PREFIX}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(READ "${PREFIX}/share/applications/ringseam.desktop" desktop)
foreach(line "Exec=ringseam %f" "Icon=ringseam" "Type=Application")
  string(FIND "${desktop}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "desktop entry lacks '${line}'")
  endif()
endforeach()
string(REGEX MATCH "MimeType=[^\n]*" mime "${desktop}")
foreach(type audio/x-wav audio/x-xi)
  string(FIND "${mime}" "${type};" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "desktop entry does not offer ${type}")
  endif()
endforeach()
file(READ "${PREFIX}/share/mime/packages/ringseam-xi.xml" xml)
foreach(part "type=\"audio/x-xi\"" "pattern=\"*.xi\"" "Extended Instrument: ")
  string(FIND "${xml}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "MIME type file lacks ${part}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
