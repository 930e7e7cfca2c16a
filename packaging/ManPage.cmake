# Makes a program's man page from its own --help text, gzipped as Debian keeps them.
#   -DPROGRAM=<built program> -DDESCRIPTION=<the NAME line> -DVERSION=<version> -DOUTPUT=<page.1.gz>
# A program that does not answer --help gets no page, with a warning; the package check then fails on it.
cmake_minimum_required(VERSION 3.25)
get_filename_component(folder "${PROGRAM}" DIRECTORY)
get_filename_component(name "${PROGRAM}" NAME)
# Run by name, so the page shows "kestrel", not the build folder; a Qt program must open no window.
set(ENV{PATH} "${folder}:$ENV{PATH}")
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{LC_ALL} C.UTF-8)
file(REMOVE "${OUTPUT}")

execute_process(COMMAND "${name}" --help RESULT_VARIABLE rc OUTPUT_VARIABLE help ERROR_QUIET TIMEOUT 20)
if(NOT rc EQUAL 0 OR help STREQUAL "")
  message(WARNING "${name} does not answer --help (${rc}): it gets no man page")
  return()
endif()

get_filename_component(page "${OUTPUT}" NAME_WLE)
get_filename_component(out_folder "${OUTPUT}" DIRECTORY)
execute_process(
  COMMAND help2man --no-info "--version-string=${VERSION}" "--name=${DESCRIPTION}" "--output=${out_folder}/${page}" "${name}"
  RESULT_VARIABLE rc TIMEOUT 60)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "help2man failed on ${name} (${rc})")
endif()
execute_process(COMMAND gzip -9nf "${out_folder}/${page}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${out_folder}/${page}")
endif()
