# The report suite: the trace, its numbers, the JUnit report and the plots,
# one program. It leaves the plots it draws in bin/ as plot_test-*.svg; on
# Linux each is then rendered with rsvg-convert (Debian's librsvg2-bin,
# installed by scripts/setup.sh), so that a plot a renderer refuses fails the
# build's tests.
fixdcs_add_test(plot_test SOURCES host/report/trace_test.cpp host/report/plot_test.cpp host/report/junit_test.cpp
                host/report/xml_reader.cpp LIBS dcshost_support)
set_tests_properties(plot_test PROPERTIES FIXTURES_SETUP plots_drawn)
if(NOT FIXDCS_WINDOWS)
  add_test(NAME plot_render
           COMMAND sh -c "command -v rsvg-convert >/dev/null || { echo 'rsvg-convert missing: install librsvg2-bin (scripts/setup.sh)'; exit 1; }
                          set -- plot_test-*.svg
                          [ -f \"$1\" ] || { echo 'plot_test drew no plot'; exit 1; }
                          for f; do rsvg-convert -o \"$f.png\" \"$f\" || { echo \"$f: not rendered\"; exit 1; }; done
                          echo \"rendered $#\""
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(plot_render PROPERTIES FIXTURES_REQUIRED plots_drawn)
endif()
