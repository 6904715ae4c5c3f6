# `cpack` in a build tree: on Linux a .deb of the tools (with the Windows
# programs inside when cmake/install.cmake found them), on Windows builds a
# .zip of the programs. Both are made from the install rules, stripped.
set(CPACK_PACKAGE_NAME qpk2exe)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QOR")
set(CPACK_PACKAGE_CONTACT "QPK2EXE maintainers <qpk2exe@qor.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-extracting archives: builder, self-extractor and archive tool")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  set(CPACK_PACKAGE_FILE_NAME qpk2exe-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # Depends comes from what the programs link (dpkg-shlibdeps, in dpkg-dev):
  # it stays right however they are linked.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "qpk2exe turns an archive into a self-extracting program and \
is that self-extractor; qpk creates, lists and tests the archives. With the Windows programs when they were built.")
endif()
include(CPack)
