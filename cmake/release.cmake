# SPDX-License-Identifier: MIT
# What a release ships beside the program: the manual page, the changelog
# and the copyright in the forms Debian expects, and the package itself.
# They take their version from project() and their date from one epoch, so
# that two builds of the same commit give the same bytes.

# The epoch: SOURCE_DATE_EPOCH when the caller sets it, else the time of
# the last commit, else the stamp a source tarball carries (the file holds
# a placeholder in a checkout), else now.
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS "${PROJECT_SOURCE_DIR}/.git")
  set(in_git TRUE)
endif()
set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(NOT epoch MATCHES "^[0-9]+$" AND in_git)
  execute_process(COMMAND "${GIT_EXECUTABLE}" log -1 --format=%ct
                  WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  file(STRINGS "${PROJECT_SOURCE_DIR}/SOURCE_DATE_EPOCH" epoch LIMIT_COUNT 1)
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  string(TIMESTAMP epoch "%s" UTC)
endif()
set(ENV{SOURCE_DATE_EPOCH} "${epoch}") # string(TIMESTAMP) reads it
# A new commit, changelog or licence changes what is made from them below.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS CHANGELOG.md LICENSE)
if(in_git AND EXISTS "${PROJECT_SOURCE_DIR}/.git/logs/HEAD")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS .git/logs/HEAD)
endif()
string(TIMESTAMP release_date "%Y-%m-%d" UTC)

set(STACKMENU_MAINTAINER "The stackmenu authors <stackmenu-authors@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

# Manual page: version and date filled in, compressed as Debian wants it.
configure_file(doc/stackmenu.1.in stackmenu.1 @ONLY)

# Changelog: every entry of CHANGELOG.md in Debian's form, newest first, as
# a native package carries it. An entry runs up to the next "## " heading,
# whatever it holds. The newest is dated by the epoch, the others by the
# day in their heading.
file(READ CHANGELOG.md rest)
set(debian "")
while(rest MATCHES "\n## ([0-9][^ \n]*) \\(([0-9]+)-([0-9]+)-([0-9]+)\\)\n+(- .*)")
  if(NOT debian STREQUAL "")
    # Days since 1970 by the civil calendar, with the year taken to start
    # in March so that a leap day comes last.
    math(EXPR y "${CMAKE_MATCH_2} - (14 - ${CMAKE_MATCH_3}) / 12")
    math(EXPR m "${CMAKE_MATCH_3} + (14 - ${CMAKE_MATCH_3}) / 12 * 12 - 3")
    math(EXPR seconds "86400 * (365 * ${y} + ${y} / 4 - ${y} / 100 + ${y} / 400
                       + (153 * ${m} + 2) / 5 + ${CMAKE_MATCH_4} - 719469)")
    set(ENV{SOURCE_DATE_EPOCH} ${seconds})
    string(APPEND debian "\n")
  endif()
  string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  string(FIND "${CMAKE_MATCH_5}\n## " "\n## " next)
  string(SUBSTRING "${CMAKE_MATCH_5}" 0 ${next} changes)
  string(SUBSTRING "${CMAKE_MATCH_5}" ${next} -1 rest)
  string(STRIP "${changes}" changes)
  string(APPEND debian "${PROJECT_NAME} (${CMAKE_MATCH_1}) unstable; urgency=medium\n\n"
         "${changes}\n\n -- ${STACKMENU_MAINTAINER}  ${date}\n")
endwhile()
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
if(NOT debian MATCHES "^${PROJECT_NAME} \\(${PROJECT_VERSION}\\)")
  message(FATAL_ERROR "CHANGELOG.md must begin with '## ${PROJECT_VERSION} (YYYY-MM-DD)' and a list")
endif()
# List items and their other lines, indented as Debian's changelog has them.
string(REGEX REPLACE "(^|\n)- " "\\1  * " debian "${debian}")
string(REGEX REPLACE "\n  ([^ *])" "\n    \\1" debian "${debian}")
write_if_changed("${PROJECT_BINARY_DIR}/changelog" "${debian}")

# Copyright, in Debian's machine-readable form, from LICENSE.
file(READ LICENSE license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${license}")
set(holder "${CMAKE_MATCH_1}")
string(FIND "${license}" "Permission" start)
string(SUBSTRING "${license}" ${start} -1 license)
string(STRIP "${license}" license)
string(REPLACE "\n" "\n " license "${license}")
string(REPLACE "\n \n" "\n .\n" license "${license}")
string(CONCAT license "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       "Upstream-Name: ${PROJECT_NAME}\n\nFiles: *\nCopyright: ${holder}\nLicense: MIT\n ${license}\n")
write_if_changed("${PROJECT_BINARY_DIR}/copyright" "${license}")

# gzip -9n: the best compression and no name or time in the header. The
# program builds without gzip too; its manual page is then left as it is.
include(GNUInstallDirs)
# Installing and packaging take the program and its documents as built,
# without building the tests first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(TARGETS stackmenu RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped program also loses the compiler's version notes, as Debian's
# own strip step does.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/stackmenu\" COMMAND_ERROR_IS_FATAL ANY)
endif()")
find_program(GZIP gzip)
if(GZIP)
  set(suffix .gz)
  foreach(file stackmenu.1 changelog)
    add_custom_command(OUTPUT ${file}.gz COMMAND "${GZIP}" -9nkf ${file}
                       DEPENDS "${PROJECT_BINARY_DIR}/${file}")
  endforeach()
endif()
add_custom_target(docs ALL DEPENDS stackmenu.1${suffix} changelog${suffix})
install(FILES "${PROJECT_BINARY_DIR}/stackmenu.1${suffix}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES "${PROJECT_BINARY_DIR}/changelog${suffix}" "${PROJECT_BINARY_DIR}/copyright"
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT "${STACKMENU_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION
"stackmenu keeps a stack of at most ten integers and offers a numbered menu on
the console: push a number read from the input, pop and print the top, list
the stack from the top down, or end. It reads numbers rather than lines, so
it can be driven from a script or another program as well as by hand.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# A source tarball of the last commit. Its SOURCE_DATE_EPOCH file gets the
# commit's time (see .gitattributes), which dates whatever is built from it.
if(in_git)
  set(dist_name ${PROJECT_NAME}-${PROJECT_VERSION})
  add_custom_target(dist
    COMMAND "${GIT_EXECUTABLE}" -C "${PROJECT_SOURCE_DIR}" archive --format=tar.gz
            --prefix=${dist_name}/ -o "${PROJECT_BINARY_DIR}/${dist_name}.tar.gz" HEAD
    COMMENT "${dist_name}.tar.gz from the last commit" VERBATIM)
endif()

# cpack runs later, in a process of its own: hand it the same epoch.
write_if_changed("${PROJECT_BINARY_DIR}/CPackEpoch.cmake" "set(ENV{SOURCE_DATE_EPOCH} ${epoch})\n")
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/CPackEpoch.cmake")
include(CPack)
