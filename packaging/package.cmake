# The Debian package, built by CPack from the install rules: `cpack --preset
# package` after a build of the `package` preset writes quorvel_<version>_amd64.deb.

set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quorvel developers")
set(CPACK_PACKAGE_HOMEPAGE_URL ${QUORVEL_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Taobao keyword research tool: window and command line")
set(CPACK_PACKAGE_DESCRIPTION [=[
Quorvel collects the related search keywords of the Taobao marketplace for
seed keywords: PC and mobile drop-down suggestions, their refinements,
long-tail words and the related searches of the results page. The words are
shown as they arrive and saved as XLSX, CSV or JSON Lines files; every
harvest is kept in a journal, so a stopped one can be continued.

The package holds the desktop program, quorvel, with its launcher, and the
command-line harvester, quorvel-cli, for scripts and machines without a
desktop.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_QUORVEL_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/strip_notes.cmake)
# Directories the install makes are 0755 whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUORVEL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends comes from dpkg-shlibdeps over the two programs; a CJK font draws the
# window's Chinese text, and libcurl needs the certificate authorities for HTTPS.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ca-certificates, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
