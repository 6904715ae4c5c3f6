# Toolchain of the static Linux self-extractor: the system's GCC over musl's
# C library (Debian's musl-tools), so that the program needs no C library on
# the machine it runs on. The C++ library is used for its headers only: the
# program is built without exceptions and run-time types, and the few
# run-time pieces it needs come from foundation/static_runtime, not from
# libstdc++.
#
# The outer build (cmake/static_stub.cmake) checks that musl is there and
# passes the compression libraries' header folder: one holding only their
# headers, which must not bring the rest of /usr/include (glibc's) ahead of
# musl's.
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(QPK_STATIC_RUNTIME ON)

execute_process(COMMAND g++ -dumpversion OUTPUT_VARIABLE gcc_version OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND g++ -print-multiarch OUTPUT_VARIABLE gnu_triplet OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND g++ -print-file-name=include OUTPUT_VARIABLE gcc_include OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REPLACE "-linux-gnu" "-linux-musl" musl_triplet "${gnu_triplet}")

# libstdc++'s headers reach the C headers with #include_next: they come first,
# then musl's, then the compiler's own (stddef.h's kin).
set(c_headers "-nostdinc -isystem /usr/include/${musl_triplet} -isystem ${gcc_include}")
set(cxx_headers "-isystem /usr/include/c++/${gcc_version} -isystem /usr/include/${gnu_triplet}/c++/${gcc_version}")
set(CMAKE_C_FLAGS_INIT "${c_headers}")
set(CMAKE_CXX_FLAGS_INIT
    "-include ${CMAKE_CURRENT_LIST_DIR}/musl_prelude.h ${cxx_headers} ${c_headers} -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables")
# musl's start files and C library, and libgcc; never libstdc++: musl's C wrapper
# links the C++ programs too.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CXX_LINK_EXECUTABLE "musl-gcc <FLAGS> <CMAKE_CXX_LINK_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
