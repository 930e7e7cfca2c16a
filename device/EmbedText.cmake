# Writes INPUT as a C++ string constant named NAME (default kVexoUSBIDText) into the header OUTPUT, byte
# for byte.
if(NOT NAME)
  set(NAME kVexoUSBIDText)
endif()
get_filename_component(source ${INPUT} NAME)
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "(..)" "'\\\\x\\1'," bytes "${hex}")
file(WRITE ${OUTPUT} "#pragma once\n// Generated from ${source} at build time; edit that file instead.\n"
     "inline constexpr char ${NAME}[] = {${bytes}'\\0'};\n")
