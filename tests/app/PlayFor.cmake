# Runs `ringseam --play-for` on a generated sample through the real Qt audio
# output. EXPECT=play: the sound plays for the time given and the program
# ends with status 0 and nothing on stderr. EXPECT=nodevice: the device cannot
# be opened, which ends the program at once with status 1 and that message.
# Inputs: PROGRAM, MAKER (make-demo-sample), WORK, EXPECT.
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${MAKER}" "${WORK}/demo.wav" RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make-demo-sample failed: ${rc}")
endif()
string(TIMESTAMP t0 "%s")
execute_process(COMMAND "${PROGRAM}" --play-for 1.5 "${WORK}/demo.wav" --loop 20000:60000
                RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_QUIET TIMEOUT 60)
string(TIMESTAMP t1 "%s")
# Only the program's own lines count; Qt may add notes of its own.
string(REGEX MATCHALL "ringseam: [^\n]*" ours "${err}")
if(EXPECT STREQUAL "play")
  if(NOT rc EQUAL 0 OR ours)
    message(FATAL_ERROR "expected playback, got status ${rc}: ${err}")
  endif()
  math(EXPR took "${t1} - ${t0}")
  if(took LESS 1)
    message(FATAL_ERROR "played for ${took} s, expected about 1.5 s")
  endif()
else()
  if(NOT rc EQUAL 1 OR NOT ours STREQUAL "ringseam: Unable to open sound output device.")
    message(FATAL_ERROR "expected the device message and status 1, got status ${rc}: ${err}")
  endif()
endif()
