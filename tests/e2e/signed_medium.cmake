# The example product packed by the native mksetup and signed on the way with
# osslsigncode and a throw-away self-signed certificate; the signature is read
# back, and the example scenario of e2e_tests installs from that medium. The
# same packed as one signed file: its signature and that of the uninstaller it
# carries verify, and one byte changed in its overlay breaks the signature.
#   cmake -DMKSETUP=<native mksetup> -DSOURCE=<repo> -DBIN=<win build> -DE2E=<e2e_tests.exe>
#         -DRUN=<wine-run.sh> -DWORK=<scratch dir> -P signed_medium.cmake
if(NOT EXISTS "${MKSETUP}")
    message(FATAL_ERROR "no native mksetup at ${MKSETUP}: build the native preset first "
                        "(or set NATIVE_MKSETUP when configuring)")
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(run what)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc OUTPUT_VARIABLE out
                    ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${what} failed (${rc}):\n${out}${err}")
    endif()
    set(output "${out}${err}" PARENT_SCOPE)
endfunction()

run("making the certificate" openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2
    -subj "/CN=Setup test publisher")
run("packing it as PKCS#12" openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout pass:test)

set(medium "${WORK}/medium")
set(sign "osslsigncode sign -pkcs12 '${WORK}/cert.p12' -pass test -n Setup -in {} -out {}.signed && mv {}.signed {}")
run("mksetup build --sign" "${MKSETUP}" build "${SOURCE}/examples/setup.lst" "${BIN}/example-files" "${medium}"
    --setup-exe "${BIN}/bin/setup.exe" --sign "${sign}")
if(NOT output MATCHES "signed ${medium}/setup.exe\n")
    message(FATAL_ERROR "the summary does not name the signed setup.exe:\n${output}")
endif()

run("osslsigncode verify" osslsigncode verify -CAfile cert.pem -in "${medium}/setup.exe")
if(NOT output MATCHES "Signature verification: ok" OR NOT output MATCHES "Setup test publisher")
    message(FATAL_ERROR "the signature does not read back:\n${output}")
endif()

run("installing from the signed medium" "${CMAKE_COMMAND}" -E env "SETUP_E2E_MEDIUM=${medium}"
    "${RUN}" "${E2E}" --gtest_filter=ExampleE2eTest.FullInstallationOfTheBundledExample)
if(NOT output MATCHES "\\[  PASSED  \\] 1 test")
    message(FATAL_ERROR "the example scenario did not run:\n${output}")
endif()

# The single file, signed: the uninstaller first, then the whole file.
set(single "${WORK}/single/setup.exe")
run("mksetup build --single-file --sign" "${MKSETUP}" build "${SOURCE}/examples/setup.lst" "${BIN}/example-files"
    "${WORK}/single" --setup-exe "${BIN}/bin/setup.exe" --single-file --product-name "Example Product" --sign "${sign}")
file(GLOB written "${WORK}/single/*")
if(NOT written STREQUAL single)
    message(FATAL_ERROR "--single-file wrote more than setup.exe: ${written}")
endif()
run("osslsigncode verify of the single file" osslsigncode verify -CAfile cert.pem -in "${single}")
if(NOT output MATCHES "Signature verification: ok")
    message(FATAL_ERROR "the single file's signature does not read back:\n${output}")
endif()
run("mksetup unpack" "${MKSETUP}" unpack "${single}" "${WORK}/unpacked")
run("osslsigncode verify of the uninstaller" osslsigncode verify -CAfile cert.pem -in "${WORK}/unpacked/uninstall.exe")
if(NOT output MATCHES "Signature verification: ok")
    message(FATAL_ERROR "the uninstaller in the single file is not signed:\n${output}")
endif()

# One byte of the overlay changed (it starts where the bare setup.exe ends).
file(SIZE "${BIN}/bin/setup.exe" imageEnd)
math(EXPR at "${imageEnd} + 200")
file(READ "${single}" byte OFFSET ${at} LIMIT 1 HEX)
if(byte STREQUAL "00")
    set(other "\\001")
else()
    set(other "\\000")
endif()
configure_file("${single}" "${WORK}/changed.exe" COPYONLY)
run("changing a byte" sh -c "printf '${other}' | dd of='${WORK}/changed.exe' bs=1 seek=${at} conv=notrunc status=none")
file(READ "${WORK}/changed.exe" changed OFFSET ${at} LIMIT 1 HEX)
if(changed STREQUAL byte)
    message(FATAL_ERROR "the byte at ${at} was not changed")
endif()
execute_process(COMMAND osslsigncode verify -CAfile cert.pem -in "${WORK}/changed.exe" WORKING_DIRECTORY "${WORK}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc EQUAL 0 OR out MATCHES "Signature verification: ok")
    message(FATAL_ERROR "a changed byte still verifies:\n${out}${err}")
endif()
execute_process(COMMAND "${MKSETUP}" verify "${WORK}/changed.exe" RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(rc EQUAL 0 OR NOT out MATCHES "DAMAGED, the overlay's SHA-256 differs")
    message(FATAL_ERROR "mksetup verify passes a changed byte:\n${out}")
endif()

# The signed single file copied alone: the single-file scenario installs it
# (Wine's WinVerifyTrust checks the file's hash), removes it with the signed
# uninstaller it carries, and sees a byte changed in the signed image refused.
run("installing the signed single file" "${CMAKE_COMMAND}" -E env "SETUP_E2E_SINGLE_FILE=${single}"
    "${RUN}" "${E2E}" --gtest_filter=ExampleUninstallE2eTest.TheSingleFileMediumInstallsAloneAndItsUninstallerRemovesIt)
if(NOT output MATCHES "\\[  PASSED  \\] 1 test")
    message(FATAL_ERROR "the single-file scenario did not run:\n${output}")
endif()

# setup.exe refuses the file with the changed byte before anything: exit code 3, nothing placed.
set(refused "C:\\signed-medium-refused")
execute_process(COMMAND "${RUN}" "${WORK}/changed.exe" /S "/D=${refused}" WORKING_DIRECTORY "${WORK}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 3 OR EXISTS "${BIN}/wineprefix/drive_c/signed-medium-refused")
    message(FATAL_ERROR "setup.exe with a changed byte ended with ${rc}, not 3, or placed something")
endif()

# The bare setup.exe signed alone installs nothing: with no medium of its own
# its signature would vouch for any folder it is put beside. In a folder with
# only a plain list it prepares nothing and ends with exit code 2 (the
# unsigned one would write setup.drc and end with 0).
file(MAKE_DIRECTORY "${WORK}/bare")
configure_file("${BIN}/bin/setup.exe" "${WORK}/bare/setup.exe" COPYONLY)
file(WRITE "${WORK}/bare/setup.lst" "X;C:\\Planted\r\n")
string(REPLACE "{}" "${WORK}/bare/setup.exe" signBare "${sign}")
run("signing the bare setup.exe" sh -c "${signBare}")
execute_process(COMMAND "${RUN}" "${WORK}/bare/setup.exe" /S WORKING_DIRECTORY "${WORK}/bare"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 2 OR EXISTS "${WORK}/bare/setup.drc")
    message(FATAL_ERROR "the signed bare setup.exe ended with ${rc}, not 2, or prepared setup.drc")
endif()
