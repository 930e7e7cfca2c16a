# Writes the udev rule that hands the PIN-pad makers' USB devices to the dialout group.
#   -DVENDORS=<id>=<name>,...  the PIN-pad makers; a name is used when the database does not give one
#   -DDATABASE=<VexoUSBID.ini> the USB id database (its "Vendors" section names the vendors); may be missing
#   -DOUTPUT=<rule file>
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" vendors "${VENDORS}")

# The database's vendor names, by lower-case id. Its semicolons begin comments and separate product
# fields, so they are kept out of CMake's list syntax.
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
      string(STRIP "${CMAKE_MATCH_2}" name)
      string(REPLACE "<semicolon>" ";" name "${name}")
      set(database_name_${id} "${name}")
      list(APPEND database_vendors ${id})
    endif()
  endforeach()
  if(NOT database_vendors)
    message(WARNING "${DATABASE} has no [Vendors] section the rule can read: it keeps the names it was given")
  endif()
  set(source "from the USB id database, VexoUSBID.ini")
endif()
if(NOT database_vendors)
  set(source "from the build, as no USB id database was at hand")
endif()

set(rules "")
foreach(entry IN LISTS vendors)
  if(NOT entry MATCHES "^([0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])=(.*)$")
    message(FATAL_ERROR "PIN-pad vendor \"${entry}\" is not <4 hex digits>=<name>")
  endif()
  string(TOLOWER "${CMAKE_MATCH_1}" id)
  set(name "${CMAKE_MATCH_2}")
  if(database_vendors)
    if(id IN_LIST database_vendors)
      set(name "${database_name_${id}}")
    else()
      message(WARNING "PIN-pad vendor ${id} (${name}) is not in ${DATABASE}; the rule keeps it")
    endif()
  endif()
  string(APPEND rules
    "\n# ${id} ${name}\n"
    "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"${id}\", GROUP=\"dialout\", MODE=\"0660\"\n"
    "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"${id}\", GROUP=\"dialout\", MODE=\"0660\"\n"
    "SUBSYSTEM==\"usbmisc\", ATTRS{idVendor}==\"${id}\", GROUP=\"dialout\", MODE=\"0660\"\n")
endforeach()

file(WRITE "${OUTPUT}.new"
  "# Kestrel: the PIN pads of these makers belong to the dialout group, as serial ports do, so a member of\n"
  "# that group drives them without root. Their names come ${source}.\n"
  "${rules}")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
