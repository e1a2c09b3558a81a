# Reads the QEL_READER rows of src/import/formats.def (one row a line) into lists of the
# same length, one entry a reader: QEL_READER_CLASSES, QEL_READER_HEADERS,
# QEL_READER_FUZZ_TARGETS, QEL_READER_FUZZ_SETUPS and QEL_READER_FUZZ_EXTENSIONS. A change
# of the file configures the build again.
set(QEL_FORMAT_MANIFEST ${CMAKE_SOURCE_DIR}/src/import/formats.def)

function(qel_read_reader_manifest)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QEL_FORMAT_MANIFEST})
  file(STRINGS ${QEL_FORMAT_MANIFEST} rows REGEX "^QEL_READER\\(")
  set(row_pattern
    "^QEL_READER\\(([A-Za-z0-9_]+), *\"([^\"]+)\", *([a-z0-9_]+), *([a-z0-9_]+), *(QEL_FUZZ_[A-Z_]+), *\"([a-z0-9]+)\"\\)$")
  foreach(list CLASSES HEADERS FUZZ_TARGETS FUZZ_SETUPS FUZZ_EXTENSIONS)
    set(${list} "")
  endforeach()
  foreach(row IN LISTS rows)
    if(NOT row MATCHES "${row_pattern}")
      message(FATAL_ERROR "${QEL_FORMAT_MANIFEST}: cannot read the row ${row}")
    endif()
    list(APPEND CLASSES ${CMAKE_MATCH_1})
    list(APPEND HEADERS ${CMAKE_MATCH_2})
    list(APPEND FUZZ_TARGETS ${CMAKE_MATCH_4})
    list(APPEND FUZZ_SETUPS ${CMAKE_MATCH_5})
    list(APPEND FUZZ_EXTENSIONS ${CMAKE_MATCH_6})
  endforeach()
  foreach(list CLASSES HEADERS FUZZ_TARGETS FUZZ_SETUPS FUZZ_EXTENSIONS)
    set(QEL_READER_${list} ${${list}} PARENT_SCOPE)
  endforeach()
endfunction()

# Writes <folder>/import/format_readers.h, which includes the header of every reader.
function(qel_write_reader_headers folder)
  qel_read_reader_manifest()
  list(REMOVE_DUPLICATES QEL_READER_HEADERS)
  set(content "// Made by the build from the QEL_READER rows of src/import/formats.def.\n#pragma once\n\n")
  foreach(header IN LISTS QEL_READER_HEADERS)
    string(APPEND content "#include \"${header}\"\n")
  endforeach()
  file(CONFIGURE OUTPUT ${folder}/import/format_readers.h CONTENT "${content}" @ONLY)
endfunction()
