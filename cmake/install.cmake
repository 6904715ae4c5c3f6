# What `cmake --install` puts under the prefix. Linux: the tools in bin/ (they
# write their log lines themselves: no log library), the manual pages, the README and, when a Windows build
# tree is there, its programs in share/qpk2exe/windows/. Windows: the programs
# and the log library side by side at the top, as they are used.
#
# Components: tools (the programs), log (the library), docs (README and manual
# pages), windows (the Windows programs carried by the Linux install).
#
# Installing and packaging take what was built: cpack would otherwise build
# every target, the tests included, before it packs three programs.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
if(WIN32)
  install(TARGETS qpk2exe qpk RUNTIME DESTINATION . COMPONENT tools)
  # The import library serves only a program linking the DLL; ours loads it.
  install(TARGETS qorlog32 RUNTIME DESTINATION . COMPONENT log
          ARCHIVE DESTINATION lib COMPONENT log_import EXCLUDE_FROM_ALL)
  install(FILES README.md DESTINATION . COMPONENT docs)
  return()
endif()

if(QPK_STATIC_STUB)
  # Built by its own tree (cmake/static_stub.cmake): a file, not a target here.
  install(PROGRAMS ${CMAKE_BINARY_DIR}/bin/qpk2exe DESTINATION bin COMPONENT tools)
  install(TARGETS qpk RUNTIME DESTINATION bin COMPONENT tools)
else()
  install(TARGETS qpk2exe qpk RUNTIME DESTINATION bin COMPONENT tools)
endif()
install(FILES README.md DESTINATION share/doc/qpk2exe COMPONENT docs)
foreach(page qpk2exe.1 qpk.1)
  configure_file(docs/man/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page} DESTINATION share/man/man1 COMPONENT docs)
endforeach()

# The Windows programs come from a build tree of their own (the win32 preset).
# Each is installed when that tree has built it, looked for at install time,
# so building them after configuring this tree is enough.
set(QPK_WINDOWS_PROGRAMS ${CMAKE_SOURCE_DIR}/build/win32/bin CACHE PATH
    "Folder of the built Windows programs (QPK2EXE.exe, qpk.exe, QORLOG32.DLL) to install too")
string(CONFIGURE [[
  foreach(program QPK2EXE.exe qpk.exe QORLOG32.DLL)
    if(EXISTS "@QPK_WINDOWS_PROGRAMS@/${program}")
      file(INSTALL "@QPK_WINDOWS_PROGRAMS@/${program}" USE_SOURCE_PERMISSIONS
           DESTINATION "${CMAKE_INSTALL_PREFIX}/share/qpk2exe/windows")
      # Debian's strip reads PE files too.
      if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND "@CMAKE_STRIP@" "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/qpk2exe/windows/${program}"
                        RESULT_VARIABLE failed)
        if(failed)
          message(FATAL_ERROR "Could not strip ${program}")
        endif()
      endif()
    endif()
  endforeach()
]] install_windows_programs @ONLY)
install(CODE "${install_windows_programs}" COMPONENT windows)
