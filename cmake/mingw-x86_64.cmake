# Cross-build for 64-bit Windows: the same sources as the 32-bit product, for
# running the Windows tests under 64-bit Wine on machines whose kernel cannot
# execute 32-bit programs (and so cannot start 32-bit Wine).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QPK_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
