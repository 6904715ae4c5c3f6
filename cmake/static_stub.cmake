# The shipped Linux qpk2exe: the same sources built again, as a static
# program over musl (cmake/musl.cmake), in a build tree of its own inside this
# one (static/), and copied to bin/qpk2exe. Every self-extractor carries it,
# so it must start on any Linux, whatever C library (if any) is there. The
# target qpk2exe builds it; the tests (QPK2EXE_PROGRAM) and the install rules
# take that file, while the unit tests link this tree's glibc libraries.
include(ExternalProject)

# Called from driver/, where zlib's and libdeflate's headers and archives are
# known.
function(qpk_static_stub)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-multiarch OUTPUT_VARIABLE gnu_triplet
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REPLACE "-linux-gnu" "-linux-musl" musl_triplet "${gnu_triplet}")
  find_program(MUSL_GCC musl-gcc)
  if(NOT MUSL_GCC OR NOT EXISTS /usr/include/${musl_triplet}/stdio.h)
    message(FATAL_ERROR "The shipped qpk2exe is a static program built against musl, which is not installed "
                        "(no musl-gcc wrapper or musl headers): install musl-tools "
                        "(scripts/install-deps.sh does), or configure with -DQPK_SHIPPED=OFF")
  endif()

  # Only these headers of /usr/include: the rest of it is glibc's.
  set(headers ${CMAKE_BINARY_DIR}/static-headers)
  file(COPY ${ZLIB_INCLUDE_DIR}/zlib.h ${ZLIB_INCLUDE_DIR}/zconf.h DESTINATION ${headers})
  set(zlib_archive ${ZLIB_LIBRARY_RELEASE})
  if(NOT zlib_archive)
    set(zlib_archive ${ZLIB_LIBRARY})
  endif()
  set(deflate_args -DQPK_LIBDEFLATE=OFF)
  if(QPK_LIBDEFLATE AND LIBDEFLATE_INCLUDE_DIR AND LIBDEFLATE_LIBRARY)
    file(COPY ${LIBDEFLATE_INCLUDE_DIR}/libdeflate.h DESTINATION ${headers})
    set(deflate_args -DLIBDEFLATE_INCLUDE_DIR=${headers} -DLIBDEFLATE_LIBRARY=${LIBDEFLATE_LIBRARY})
  endif()

  # A make of the sub-tree shares the outer make's jobs; cmake --build would
  # run it alone with one.
  if(CMAKE_GENERATOR MATCHES "Makefiles")
    set(build_command $(MAKE) qpk2exe)
  else()
    set(build_command ${CMAKE_COMMAND} --build <BINARY_DIR> --target qpk2exe)
  endif()
  set(program ${CMAKE_BINARY_DIR}/bin/qpk2exe)
  ExternalProject_Add(qpk2exe
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/static
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/musl.cmake -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
               -DCMAKE_COMPILE_WARNING_AS_ERROR=${CMAKE_COMPILE_WARNING_AS_ERROR} -DBUILD_TESTING=OFF
               -DZLIB_INCLUDE_DIR=${headers} -DZLIB_LIBRARY=${zlib_archive} ${deflate_args}
    BUILD_COMMAND ${build_command}
    INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different <BINARY_DIR>/bin/qpk2exe ${program}
    # The sub-build decides itself what changed in the sources.
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${program})
endfunction()
