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
install(FILES ${_pkg_data}/brevon-comment.metainfo.xml DESTINATION share/metainfo)
# Debian ships manual pages compressed, without a name or time stamp in the gzip header (-n), so the
# package builds the same bytes each time.
set(_man_gz ${PROJECT_BINARY_DIR}/packaging/comment-list.1.gz)
add_custom_command(OUTPUT ${_man_gz}
  COMMAND sh -c "gzip -n -9 -c \"$1\" > \"$2\"" sh ${_pkg_data}/comment-list.1 ${_man_gz}
  DEPENDS ${_pkg_data}/comment-list.1 VERBATIM)
add_custom_target(manpages ALL DEPENDS ${_man_gz})
install(FILES ${_man_gz} DESTINATION share/man/man1)
# fontconfig reads rules from /etc/fonts/conf.d; the rule itself lives in conf.avail, as Debian's
# font packages do it.
set(_font_rule 65-brevon-comment-ms-gothic.conf)
install(FILES ${_pkg_data}/${_font_rule} DESTINATION share/fontconfig/conf.avail)
file(CREATE_LINK /usr/share/fontconfig/conf.avail/${_font_rule} ${PROJECT_BINARY_DIR}/packaging/${_font_rule} SYMBOLIC)
install(FILES ${PROJECT_BINARY_DIR}/packaging/${_font_rule} DESTINATION /etc/fonts/conf.d)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brevon-comment)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brevon comment viewer developers <comment@brevon.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Viewer for the comments the Brevon suite receives")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Lists the Shift-JIS comments the Brevon stock-market information suite receives,
keeps or deletes them, and shows and prints the kept ones by category. Ships
stand-ins for the suite's host libraries (libbrvreg.so, libbrvmsg.so) and the
brvreg and comment-list tools.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries beside the program are our own; dpkg-shlibdeps must look for them there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_PREFIX}/${COMMENT_INSTALL_PKGDIR})
# The window system plugin, the font the fontconfig rule names and Qt's Japanese translations are
# loaded, not linked. ICU (search: code page 932 decoding and case folding) is linked; named too,
# as the search needs its normalization data whichever way the program is linked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk, fontconfig, qt6-translations-l10n, libicu72")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_PACKAGE_INSTALL_DIRECTORY brevon-comment)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
