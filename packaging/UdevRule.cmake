# Writes the udev rule for the PIN-pad makers' USB devices: the dialout group, as serial ports have it; the
# person at the seat (uaccess), so no one has to log in again after joining dialout; and ModemManager kept
# away (ID_MM_DEVICE_IGNORE), as it would otherwise hold a new ttyACM for seconds probing it for a modem.
#   -DVENDORS=<id>=<name>|...  the PIN-pad makers, named as Debian's usb.ids names them
#   -DDATABASE=<VexoUSBID.ini> the USB id database, which should know every maker; may be missing
#   -DOUTPUT=<rule file>
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" vendors "${VENDORS}")

# The database's vendor ids, lower case. Its semicolons begin comments and separate product fields, so
# they are kept out of CMake's list syntax.
set(database_vendors "")
if(EXISTS "${DATABASE}")
  file(READ "${DATABASE}" text)
  string(REPLACE ";" "<semicolon>" text "${text}")
  string(REPLACE "\r" "" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(section "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line MATCHES "^<semicolon>" OR line MATCHES "^#" OR line STREQUAL "")
      continue()
    elseif(line MATCHES "^\\[(.*)\\]$")
      string(STRIP "${CMAKE_MATCH_1}" section)
      string(TOLOWER "${section}" section)
    elseif(section STREQUAL "vendors" AND line MATCHES "^([0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])[ \t]*=(.*)$")
      string(TOLOWER "${CMAKE_MATCH_1}" id)
      list(APPEND database_vendors ${id})
    endif()
  endforeach()
  if(NOT database_vendors)
    message(WARNING "${DATABASE} has no [Vendors] section the rule can read")
  endif()
endif()

set(keys "GROUP=\"dialout\", MODE=\"0660\", TAG+=\"uaccess\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"")
set(rules "")
foreach(entry IN LISTS vendors)
  if(NOT entry MATCHES "^([0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])=(.*)$")
    message(FATAL_ERROR "PIN-pad vendor \"${entry}\" is not <4 hex digits>=<name>")
  endif()
  string(TOLOWER "${CMAKE_MATCH_1}" id)
  string(STRIP "${CMAKE_MATCH_2}" name)
  # The port box names a maker's PIN pad from the database: one it does not know shows as bare ids.
  if(database_vendors AND NOT id IN_LIST database_vendors)
    message(WARNING "PIN-pad vendor ${id} (${name}) is not in ${DATABASE}; the rule keeps it")
  endif()
  string(APPEND rules
    "\n# ${id} ${name}\n"
    "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"${id}\", ${keys}\n"
    "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"${id}\", ${keys}\n"
    "SUBSYSTEM==\"usbmisc\", ATTRS{idVendor}==\"${id}\", ${keys}\n")
endforeach()

file(WRITE "${OUTPUT}.new"
  "# Kestrel: the PIN pads of these makers belong to the dialout group, as serial ports do, and to the\n"
  "# person at the seat; ModemManager leaves them alone. Makers named as Debian's usb.ids names them.\n"
  "${rules}")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
