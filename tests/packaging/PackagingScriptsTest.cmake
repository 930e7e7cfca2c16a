# Runs packaging/UdevRule.cmake and packaging/ManPage.cmake on made-up inputs and checks what they write.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(expect_contains file text)
  file(READ "${file}" content)
  string(FIND "${content}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${file} lacks:\n${text}\n--- it holds:\n${content}")
  endif()
endfunction()
function(expect_lacks file text)
  file(READ "${file}" content)
  string(FIND "${content}" "${text}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${file} should not hold:\n${text}")
  endif()
endfunction()
function(make_rule vendors database output)
  execute_process(COMMAND ${CMAKE_COMMAND} -DVENDORS=${vendors} -DDATABASE=${database} -DOUTPUT=${output}
                          -P ${SCRIPTS}/UdevRule.cmake
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  set(rule_rc ${rc} PARENT_SCOPE)
  set(rule_err "${err}" PARENT_SCOPE)
endfunction()

# A database with comments, CRLF line ends, upper-case ids, spaces around "=" and semicolons in product
# lines: only the listed makers get rules, under the names they were given (a comma in a name is no
# separator).
file(WRITE "${WORK}/VexoUSBID.ini"
  "; USB ids; kinds: 0 unknown; 1 POS printer\r\n[ vendors ]\r\n0483=STMicroelectronics\r\n"
  "1753 = Gertec do Brasil\r\n04B8=Epson\r\n[Products]\r\n1753:0b00=G250\r\n0483:5742=Tec Toy,Q4;1;10\r\n")
make_rule("1753=GERTEC Telecomunicacoes Ltda.|04B8=Printer maker, Inc" "${WORK}/VexoUSBID.ini" "${WORK}/a.rules")
if(NOT rule_rc EQUAL 0)
  message(FATAL_ERROR "UdevRule.cmake failed: ${rule_err}")
endif()
set(keys "GROUP=\"dialout\", MODE=\"0660\", TAG+=\"uaccess\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"")
foreach(id 1753 04b8)
  expect_contains("${WORK}/a.rules" "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"${id}\", ${keys}\n")
  expect_contains("${WORK}/a.rules" "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"${id}\", ${keys}\n")
endforeach()
expect_contains("${WORK}/a.rules" "# 1753 GERTEC Telecomunicacoes Ltda.\n")
expect_contains("${WORK}/a.rules" "# 04b8 Printer maker, Inc\n")
expect_lacks("${WORK}/a.rules" "0483")
expect_lacks("${WORK}/a.rules" "0b00")
if(rule_err MATCHES "WARNING")
  message(FATAL_ERROR "a warning for makers the database knows: ${rule_err}")
endif()

# A maker the database does not list keeps its rule, with a warning that the two lists drifted apart.
make_rule("abcd=Nobody" "${WORK}/VexoUSBID.ini" "${WORK}/b.rules")
expect_contains("${WORK}/b.rules" "ATTRS{idVendor}==\"abcd\"")
if(NOT rule_err MATCHES "abcd")
  message(FATAL_ERROR "no warning for a maker missing from the database: ${rule_err}")
endif()

# No database at all: the rule still covers the makers, under the names given.
make_rule("1753=Gertec" "${WORK}/absent.ini" "${WORK}/c.rules")
expect_contains("${WORK}/c.rules" "# 1753 Gertec\n")
expect_contains("${WORK}/c.rules" "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"1753\", ${keys}\n")

# A malformed vendor entry stops the build rather than writing a rule that matches nothing.
make_rule("17x3=Gertec" "${WORK}/absent.ini" "${WORK}/d.rules")
if(rule_rc EQUAL 0 OR EXISTS "${WORK}/d.rules")
  message(FATAL_ERROR "a malformed vendor id was accepted")
endif()

# Man pages: a program that does not answer --help gets none (and a warning); one that does gets a
# gzipped page naming the program by name, not by its build path.
file(WRITE "${WORK}/bin/mute" "#!/bin/sh\nexit 3\n")
file(WRITE "${WORK}/bin/talker"
  "#!/bin/sh\ncase \"$1\" in --help) echo \"Usage: talker [OPTIONS]\"; echo; echo \"  --loud  speak up\";;"
  " *) exit 1;; esac\n")
file(CHMOD "${WORK}/bin/mute" "${WORK}/bin/talker" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
execute_process(COMMAND ${CMAKE_COMMAND} -DPROGRAM=${WORK}/bin/mute -DDESCRIPTION=silent -DVERSION=9.9
                        -DOUTPUT=${WORK}/man/mute.1.gz -P ${SCRIPTS}/ManPage.cmake
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR EXISTS "${WORK}/man/mute.1.gz" OR NOT err MATCHES "does not answer --help")
  message(FATAL_ERROR "a program without --help: rc ${rc}, ${err}")
endif()
if(HELP2MAN)
  file(MAKE_DIRECTORY "${WORK}/man")
  execute_process(COMMAND ${CMAKE_COMMAND} -DPROGRAM=${WORK}/bin/talker "-DDESCRIPTION=a talking program"
                          -DVERSION=9.9 -DOUTPUT=${WORK}/man/talker.1.gz -P ${SCRIPTS}/ManPage.cmake
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT EXISTS "${WORK}/man/talker.1.gz")
    message(FATAL_ERROR "no man page for a program that answers --help: ${err}")
  endif()
  execute_process(COMMAND gzip -dc "${WORK}/man/talker.1.gz" OUTPUT_VARIABLE page)
  file(WRITE "${WORK}/man/talker.1" "${page}")
  expect_contains("${WORK}/man/talker.1" "talker \\- a talking program")
  expect_contains("${WORK}/man/talker.1" "speak up")
  expect_contains("${WORK}/man/talker.1" "9.9")
  expect_lacks("${WORK}/man/talker.1" "${WORK}")
endif()
