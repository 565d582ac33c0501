# The Windows programs: Qt for MinGW, built from Debian's qt6-base source by
# scripts/build-qt-windows, is found in its prefix when it is there. Included before
# find_package(Qt6) in a build for Windows; without that Qt, only the libraries below
# the forms are built.
set(CORVANE_WINDOWS_QT ${PROJECT_SOURCE_DIR}/build-windows-qt/prefix CACHE PATH
  "Prefix of the Qt for MinGW that scripts/build-qt-windows installs")
if(EXISTS ${CORVANE_WINDOWS_QT}/lib/cmake/Qt6/Qt6Config.cmake)
  # Packages are searched only under the find roots in a cross build.
  list(APPEND CMAKE_FIND_ROOT_PATH ${CORVANE_WINDOWS_QT})
  list(APPEND CMAKE_PREFIX_PATH ${CORVANE_WINDOWS_QT})
  # moc, uic and rcc are the host's.
  set(QT_HOST_PATH /usr CACHE PATH "Host Qt for the tools of the Windows build")
  file(GLOB host_tools /usr/lib/*/cmake/Qt6CoreTools)
  if(NOT host_tools)
    message(FATAL_ERROR "The host's Qt tools are missing (Debian package qt6-base-dev-tools)")
  endif()
  list(GET host_tools 0 host_tools)
  get_filename_component(host_cmake ${host_tools} DIRECTORY)
  set(QT_HOST_PATH_CMAKE_DIR ${host_cmake} CACHE PATH "CMake packages of the host Qt")
endif()

# Puts beside the programs what they need at run time: Qt's DLLs, the windows and
# minimal platform plugins, the native widget style, Qt's own texts in Chinese (Debian's
# qt6-translations-l10n, the same Qt version) and the MinGW runtime that Qt's DLLs link to.
function(corvane_deploy_windows_runtime)
  set(qt ${CORVANE_WINDOWS_QT})
  set(bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  set(files)
  set(sources)
  set(copies)
  foreach(module Core Gui Widgets Test)
    list(APPEND copies ${qt}/bin/Qt6${module}.dll ${bin}/Qt6${module}.dll)
  endforeach()
  list(APPEND copies
    ${qt}/plugins/platforms/qwindows.dll ${bin}/platforms/qwindows.dll
    ${qt}/plugins/platforms/qminimal.dll ${bin}/platforms/qminimal.dll
    ${qt}/plugins/styles/qwindowsvistastyle.dll ${bin}/styles/qwindowsvistastyle.dll
    /usr/share/qt6/translations/qtbase_zh_CN.qm ${bin}/translations/qtbase_zh_CN.qm)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
      OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      message(FATAL_ERROR "${dll} of the MinGW runtime not found by ${CMAKE_CXX_COMPILER}")
    endif()
    list(APPEND copies ${path} ${bin}/${dll})
  endforeach()
  set(commands)
  while(copies)
    list(POP_FRONT copies from to)
    list(APPEND files ${to})
    list(APPEND sources ${from})
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${from} ${to})
  endwhile()
  add_custom_command(OUTPUT ${files}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${bin}/platforms ${bin}/styles ${bin}/translations
    ${commands}
    DEPENDS ${sources}
    COMMENT "Qt and MinGW runtime DLLs beside the programs")
  add_custom_target(corvane_windows_runtime ALL DEPENDS ${files})
endfunction()

# A message table (.mc) compiled by binutils' windmc and windres into an object that the
# target links: the messages of an event source whose message file is the program.
function(corvane_message_table target mc)
  find_program(CORVANE_WINDMC NAMES x86_64-w64-mingw32-windmc windmc REQUIRED)
  get_filename_component(name ${mc} NAME_WE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${name})
  set(object ${dir}/${name}.res.o)
  add_custom_command(OUTPUT ${object}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CORVANE_WINDMC} -b -U -r ${dir} -h ${dir} ${mc}
    COMMAND ${CMAKE_RC_COMPILER} -i ${name}.rc -o ${object}
    WORKING_DIRECTORY ${dir}
    DEPENDS ${mc}
    COMMENT "Message table ${name}"
    VERBATIM)
  target_sources(${target} PRIVATE ${object})
endfunction()
