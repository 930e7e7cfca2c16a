# Writes INPUT as a C++ string constant into the header OUTPUT, byte for byte.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "(..)" "'\\\\x\\1'," bytes "${hex}")
file(WRITE ${OUTPUT} "#pragma once\n// Generated from VexoUSBID.ini at build time; edit that file instead.\n"
     "inline constexpr char kVexoUSBIDText[] = {${bytes}'\\0'};\n")
