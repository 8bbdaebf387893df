# What `cmake --install` lays out and what `cpack -G DEB` packs: the program,
# its manual page, the bash and zsh completions, and a menu entry with its
# icon. The version comes from project(VERSION) alone.

include(GNUInstallDirs)

# Installing and packing take what is built; they never start a build of
# every target (tests included) first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(dist "${PROJECT_SOURCE_DIR}/dist")
# The page is dated by SOURCE_DATE_EPOCH when it is set, so that a package
# rebuilt from the same source is the same.
string(TIMESTAMP BOOTSMITH_MAN_DATE "%Y-%m-%d" UTC)
configure_file("${dist}/man/bootsmith.1.in" "${PROJECT_BINARY_DIR}/man/bootsmith.1" @ONLY)
# Installed compressed, as Debian keeps its manual pages; -n leaves the name
# and time out, so the same page compresses to the same bytes.
execute_process(COMMAND gzip -9 -n -c "${PROJECT_BINARY_DIR}/man/bootsmith.1"
                OUTPUT_FILE "${PROJECT_BINARY_DIR}/man/bootsmith.1.gz"
                RESULT_VARIABLE gzip_status)
if(NOT gzip_status EQUAL 0)
  message(FATAL_ERROR "gzip could not compress the manual page.")
endif()

install(TARGETS bootsmith RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${PROJECT_BINARY_DIR}/man/bootsmith.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${dist}/completion/bootsmith.bash" RENAME bootsmith
        DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions")
install(FILES "${dist}/completion/_bootsmith"
        DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/zsh/vendor-completions")
install(FILES "${dist}/desktop/bootsmith.desktop"
        DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/applications")
install(FILES "${dist}/desktop/bootsmith.svg"
        DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps")

# The Debian package: cpack -G DEB in the build folder. Debian wants the
# licence and the changes under share/doc; a plain `cmake --install` does not
# lay them out, so they form a component of their own that only the package
# takes.
file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/doc")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/CHANGELOG.md")
execute_process(COMMAND gzip -9 -n -c "${PROJECT_SOURCE_DIR}/CHANGELOG.md"
                OUTPUT_FILE "${PROJECT_BINARY_DIR}/doc/changelog.gz")
install(FILES "${dist}/debian/copyright" "${PROJECT_BINARY_DIR}/doc/changelog.gz"
        DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/bootsmith" COMPONENT package_docs EXCLUDE_FROM_ALL)
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};bootsmith;Unspecified;/"
    "${PROJECT_BINARY_DIR};bootsmith;package_docs;/")
set(CPACK_PACKAGE_NAME bootsmith)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Bootsmith developers")
# The Maintainer field; whoever publishes the package puts their own address here.
set(BOOTSMITH_MAINTAINER "The Bootsmith developers <maintainers@bootsmith.invalid>"
    CACHE STRING "Maintainer of the Debian package: Name <address>")
set(CPACK_PACKAGE_CONTACT "${BOOTSMITH_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "see what starts with your computer, and switch it on or off")
set(CPACK_PACKAGE_INSTALL_DIRECTORY bootsmith)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "curl | wget, pkexec | policykit-1, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
# CPack puts the summary first and indents these paragraphs as Debian wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Bootsmith shows everything that starts with this computer: systemd services
of the system and of your own account, desktop autostart entries, cron
@reboot lines and /etc/rc.local. For each entry it says what switching it off
could do and why, and it switches entries off and on again, makes a program
start with the computer and removes the entries it made itself.

Every change is planned first and shown before it is made, an automatic
backup is saved before the first change, and every change is recorded in a
history from which it can be undone. Entries it judges critical are never
switched off.

Use it as a command (bootsmith list, bootsmith disable NAME, ...) or open its
window from the menu: a page served on 127.0.0.1 and shown in your browser.")
include(CPack)
