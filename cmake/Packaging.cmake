# Installation layout and the Debian package (CPack).
#
# The program, the stand-in host libraries and the tools sit side by side in one private folder, as
# the suite installs them: the program binds libbrvmsg.so through RUNPATH $ORIGIN and opens
# libbrvreg.so from its own folder. /usr/bin holds symbolic links into that folder; /proc/self/exe
# and $ORIGIN resolve them to the real place.

set(COMMENT_INSTALL_PKGDIR lib/brevon-comment)

set(_pkg_data ${PROJECT_SOURCE_DIR}/data/packaging)
set(_pkg_links ${PROJECT_BINARY_DIR}/packaging/bin)
file(MAKE_DIRECTORY ${_pkg_links})
foreach(link brevon-comment:Comment brvreg:brvreg comment-list:comment-list)
  string(REPLACE ":" ";" pair ${link})
  list(GET pair 0 name)
  list(GET pair 1 target)
  file(CREATE_LINK ../${COMMENT_INSTALL_PKGDIR}/${target} ${_pkg_links}/${name} SYMBOLIC)
  install(FILES ${_pkg_links}/${name} DESTINATION bin)
endforeach()

install(FILES ${_pkg_data}/brevon-comment.desktop DESTINATION share/applications)
install(FILES ${_pkg_data}/brevon-comment.svg DESTINATION share/icons/hicolor/scalable/apps)
# AppStream finds the metadata by the component's id.
install(FILES ${_pkg_data}/jp.co.brevon.comment.metainfo.xml DESTINATION share/metainfo)

# Debian ships manual pages and the changelog compressed, without a name or time stamp in the gzip
# header (-n), so the package builds the same bytes each time. One page per program in bin/.
set(_pkg_docdir share/doc/brevon-comment)
set(_gz_files)
function(_pkg_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "gzip -n -9 -c \"$1\" > \"$2\"" sh ${source} ${output}
    DEPENDS ${source} VERBATIM)
  set(_gz_files ${_gz_files} ${output} PARENT_SCOPE)
endfunction()
foreach(page brevon-comment brvreg comment-list)
  _pkg_gzip(${_pkg_data}/${page}.1 ${PROJECT_BINARY_DIR}/packaging/${page}.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${page}.1.gz DESTINATION share/man/man1)
endforeach()
_pkg_gzip(${_pkg_data}/changelog ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_target(packaging_docs ALL DEPENDS ${_gz_files})
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz ${_pkg_data}/copyright DESTINATION ${_pkg_docdir})

# A new version needs its changelog entry: the package's version is the changelog's.
file(STRINGS ${_pkg_data}/changelog _changelog_head LIMIT_COUNT 1)
if(NOT _changelog_head MATCHES "^brevon-comment \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "data/packaging/changelog does not begin with version ${PROJECT_VERSION}: ${_changelog_head}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brevon-comment)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brevon comment viewer developers <comment@brevon.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Viewer for the comments the Brevon suite receives")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Lists the Shift-JIS comments the Brevon stock-market information
suite receives, keeps or deletes them, and shows, searches and prints the
kept ones by category. Ships stand-ins for the suite's host libraries
(libbrvreg.so, libbrvmsg.so) and the brvreg and comment-list tools.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.brevon.example/)
# Debian ships binaries without symbols.
set(CPACK_STRIP_FILES ON)
# Depends for what is linked comes from the binaries (dpkg-shlibdeps). The libraries beside the
# program are our own; dpkg-shlibdeps must look for them there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_PREFIX}/${COMMENT_INSTALL_PKGDIR})
# The private folder is no folder of the dynamic linker's, so the package needs no ldconfig run.
# CPack adds one for any shared library under /usr/lib/*/ unless the package brings its own
# postinst and postrm; it has none, and CPack adds only control files that exist.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/none/postinst
                                       ${PROJECT_BINARY_DIR}/packaging/none/postrm)
# What is loaded, not linked, is named by hand: the window system plugins (qt6-wayland for
# Wayland-only sessions, without which Qt aborts there), the font that stands in for the designed
# one, Qt's Japanese translations, and ICU, which the search opens by its versioned name
# (libicuuc.so.<major>) from the version it was built against.
find_package(ICU REQUIRED COMPONENTS uc)
string(REGEX MATCH "^[0-9]+" _icu_major "${ICU_VERSION}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk, qt6-translations-l10n, libicu${_icu_major}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
set(CPACK_PACKAGE_INSTALL_DIRECTORY brevon-comment)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
