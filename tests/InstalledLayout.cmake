# Installs the build into an empty folder, as a package would lay it out, and runs the window's
# end-to-end test on the installed program: it must find the demo drives and its libraries in
# the installed tree alone.
#   cmake -DBUILD_DIR=... -DWORK=... -DEND_TO_END=... -P InstalledLayout.cmake
file(REMOVE_RECURSE "${WORK}")
set(ENV{DESTDIR} "${WORK}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix /usr
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
unset(ENV{DESTDIR})

# Tests, benchmarks and the demo device stay in the build.
file(GLOB_RECURSE installed RELATIVE "${WORK}" "${WORK}/*")
list(FILTER installed INCLUDE REGEX "(_test|_bench|/fakes/.*|\\.sim|MPlay\\.sys)$")
if(installed)
    message(FATAL_ERROR "installed, but not for installing: ${installed}")
endif()

set(ENV{LUNAVIO_PROGRAM} "${WORK}/usr/bin/private-folder-setup")
execute_process(COMMAND "${END_TO_END}" COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE "${WORK}")
