# Links and names planted in a destination that users can change: SETUP.LOG
# linked to another file before the installation writes its log, 65,536
# names of the kind staged files once had, and a folder of the
# installation replaced by a link to another folder before the uninstaller
# runs with an administrator's rights: nothing of the other folder is
# deleted, the uninstaller says what stayed and why, and ends with exit code 1.
# Links are made on the Linux side: Wine shows a symbolic link to a folder as
# a reparse point, as Windows shows a junction.
#   cmake -DMKSETUP=<native mksetup> -DSOURCE=<repo> -DBIN=<win build> -DRUN=<wine-run.sh>
#         -DWORK=<scratch dir> -P linked_folder.cmake
if(NOT EXISTS "${MKSETUP}")
    message(FATAL_ERROR "no native mksetup at ${MKSETUP}: build the native preset first")
endif()
file(REMOVE_RECURSE "${WORK}")
set(drive "${BIN}/wineprefix/drive_c")
set(app "${drive}/linked-folder/Example")
set(victim "${drive}/linked-folder/victim")
file(REMOVE_RECURSE "${drive}/linked-folder")

# Runs the command in the medium's folder: setup.exe reads its files there.
function(run what expected)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}/medium" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                    ERROR_VARIABLE err)
    if(NOT rc EQUAL expected)
        message(FATAL_ERROR "${what} ended with ${rc}, not ${expected}:\n${out}${err}")
    endif()
endfunction()

file(MAKE_DIRECTORY "${WORK}/medium")
run("mksetup build" 0 "${MKSETUP}" build "${SOURCE}/examples/setup.lst" "${BIN}/example-files" "${WORK}/medium"
    --setup-exe "${BIN}/bin/setup.exe")
# A link planted where the installation writes its log: the log is a new
# file, and the file the link led to is as it was.
file(MAKE_DIRECTORY "${victim}" "${app}/docs")
file(WRITE "${victim}/notes.txt" "another folder's file")
file(CREATE_LINK "../victim/notes.txt" "${app}/SETUP.LOG" SYMBOLIC)
# Every name an installation once staged its files under ("stg" and four hex
# digits), made beforehand beside each file it places: its staged files
# take names no one can guess, so none of these stands in its way.
foreach(folder "${app}" "${app}/docs")
    execute_process(COMMAND sh -c "printf 'stg%04x.tmp\\n' $(seq 0 65535) | xargs touch"
                    WORKING_DIRECTORY "${folder}" RESULT_VARIABLE made)
    if(NOT made EQUAL 0)
        message(FATAL_ERROR "could not make the names in ${folder}")
    endif()
endforeach()
run("installing" 0 "${RUN}" "${WORK}/medium/setup.exe" /S "/D=C:\\linked-folder\\Example")
file(GLOB left "${app}/stg*.tmp")
list(LENGTH left count)
if(NOT count EQUAL 65536)
    message(FATAL_ERROR "the installation left ${count} stg*.tmp files beside its own, not the 65536 made before")
endif()
if(NOT EXISTS "${app}/docs/notes.txt")
    message(FATAL_ERROR "the installation placed no docs\\notes.txt")
endif()
file(READ "${victim}/notes.txt" kept)
if(IS_SYMLINK "${app}/SETUP.LOG" OR NOT kept STREQUAL "another folder's file")
    message(FATAL_ERROR "the installation wrote its log through the link planted as SETUP.LOG")
endif()

file(REMOVE_RECURSE "${app}/docs")
file(CREATE_LINK "../victim" "${app}/docs" SYMBOLIC)

file(GLOB logsBefore "${drive}/users/*/Temp/UNINSTALL-*.LOG" "${drive}/users/*/AppData/Local/Temp/UNINSTALL-*.LOG")
run("uninstalling" 1 "${RUN}" "${app}/uninstall.exe" /uninstall /S)
file(READ "${victim}/notes.txt" kept)
if(NOT kept STREQUAL "another folder's file")
    message(FATAL_ERROR "the uninstaller deleted or changed a file of the folder the link leads to")
endif()
file(GLOB logs "${drive}/users/*/Temp/UNINSTALL-*.LOG" "${drive}/users/*/AppData/Local/Temp/UNINSTALL-*.LOG")
list(REMOVE_ITEM logs ${logsBefore})
list(LENGTH logs count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "not one new uninstall log: ${logs}")
endif()
file(READ "${logs}" log)
if(NOT log MATCHES "Could not remove C:\\\\linked-folder\\\\Example\\\\docs\\\\notes.txt: C:\\\\linked-folder\\\\Example\\\\docs is a link or a junction, which is not followed")
    message(FATAL_ERROR "the uninstall log does not say why notes.txt stayed:\n${log}")
endif()
file(REMOVE_RECURSE "${drive}/linked-folder")
