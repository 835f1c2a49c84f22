# The example product packed by the native mksetup and signed on the way with
# osslsigncode and a throw-away self-signed certificate; the signature is read
# back, and the example scenario of e2e_tests installs from that medium.
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
run("mksetup build --sign" "${MKSETUP}" build "${SOURCE}/examples/setup.lst" "${BIN}/example-files" "${medium}"
    --setup-exe "${BIN}/bin/setup.exe"
    --sign "osslsigncode sign -pkcs12 '${WORK}/cert.p12' -pass test -n Setup -in {} -out {}.signed && mv {}.signed {}")
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

# The example as one signed setup.exe: the signature reads back, and the
# single-file scenario installs it (Wine's WinVerifyTrust checks the file's
# hash), removes it with the signed uninstaller it carries, and sees a byte
# changed in the signed image refused.
set(single "${WORK}/single")
run("mksetup build --single-file --sign" "${MKSETUP}" build "${SOURCE}/examples/setup.lst" "${BIN}/example-files"
    "${single}" --setup-exe "${BIN}/bin/setup.exe" --single-file --product-name "Example Product"
    --sign "osslsigncode sign -pkcs12 '${WORK}/cert.p12' -pass test -n Setup -in {} -out {}.signed && mv {}.signed {}")
run("osslsigncode verify of the single file" osslsigncode verify -CAfile cert.pem -in "${single}/setup.exe")
if(NOT output MATCHES "Signature verification: ok")
    message(FATAL_ERROR "the single file's signature does not read back:\n${output}")
endif()
run("installing the signed single file" "${CMAKE_COMMAND}" -E env "SETUP_E2E_SINGLE_FILE=${single}/setup.exe"
    "${RUN}" "${E2E}" --gtest_filter=ExampleUninstallE2eTest.TheSingleFileMediumInstallsAloneAndItsUninstallerRemovesIt)
if(NOT output MATCHES "\\[  PASSED  \\] 1 test")
    message(FATAL_ERROR "the single-file scenario did not run:\n${output}")
endif()
