# The programs as shipped. Every self-extractor carries the builder as its
# stub, so the stub's size and its shared libraries are paid by every download
# and every machine that runs it: unused sections are dropped, symbols are
# stripped; on Linux qpk2exe is a static program over musl (static_stub.cmake)
# and qpk links the C++ runtime and zlib in, leaving the C library as its only
# shared one. Sanitizer builds turn this off (ASan needs the shared C++
# runtime) and build a glibc qpk2exe.
option(QPK_SHIPPED "Link qpk2exe and qpk as shipped: stripped, unused sections dropped, qpk2exe static on Linux" ON)

# The static program's own build (cmake/musl.cmake sets QPK_STATIC_RUNTIME)
# builds qpk2exe the ordinary way. QPK2EXE_PROGRAM is the program the tests
# run.
if(QPK_SHIPPED AND NOT WIN32 AND NOT QPK_STATIC_RUNTIME)
  set(QPK_STATIC_STUB ON)
  set(QPK2EXE_PROGRAM ${CMAKE_BINARY_DIR}/bin/qpk2exe)
  include(${CMAKE_CURRENT_LIST_DIR}/static_stub.cmake)
else()
  set(QPK2EXE_PROGRAM $<TARGET_FILE:qpk2exe>)
endif()

if(QPK_SHIPPED)
  # Each function in its own section, so that the linker can drop what the
  # program never reaches. Data too on ELF; the PE linker script would move
  # zero-filled data sections (.bss.*) into .data, where they take file space.
  add_compile_options(-ffunction-sections)
  if(NOT WIN32)
    add_compile_options(-fdata-sections)
    set(ZLIB_USE_STATIC_LIBS ON)
  endif()
endif()

# qpk_shipped_program(<target>): links <target> as shipped.
function(qpk_shipped_program target)
  if(NOT QPK_SHIPPED)
    return()
  endif()
  target_link_options(${target} PRIVATE -s -Wl,--gc-sections)
  if(WIN32)
    # No link time in the PE header: the same sources give the same bytes.
    target_link_options(${target} PRIVATE -Wl,--no-insert-timestamp)
  else()
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()
