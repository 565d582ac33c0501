# Warnings are faults in our own code (not in Qt's generated moc files): the presets,
# which developers and CI use, make them errors; a packager's compiler may warn of more.
option(CORVANE_WERROR "Treat warnings in the project's own code as errors" OFF)
function(corvane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(CORVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A static library of one layer, built from every source file that matches the
# patterns (so that a new file in a folder needs no edit here) and not EXCLUDE.
# A library marked QT (the forms) is left out of a build without Qt.
function(corvane_library name)
  cmake_parse_arguments(ARG "QT" "EXCLUDE" "SOURCES;LINK" ${ARGN})
  if(ARG_QT AND NOT CORVANE_WITH_QT)
    return()
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${ARG_SOURCES})
  if(ARG_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LINK})
    corvane_warnings(${name})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_LINK})
  endif()
endfunction()
