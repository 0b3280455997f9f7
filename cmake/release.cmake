# SPDX-License-Identifier: MIT
# What a release ships beside the program: the manual page, the changelog
# and the copyright in the forms Debian expects, and the package itself.
# They take their version from project() and their date from one epoch, so
# that two builds of the same commit give the same bytes.

# The epoch: SOURCE_DATE_EPOCH when the caller sets it, else the time of
# the last commit, else the stamp a source tarball carries (the file holds
# a placeholder in a checkout), else now.
find_package(Git QUIET)
set(in_git FALSE)
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
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)

set(STACKMENU_MAINTAINER "The stackmenu authors <stackmenu-authors@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")

# Manual page: version and date filled in, compressed as Debian wants it.
configure_file(doc/stackmenu.1.in stackmenu.1 @ONLY)

# Changelog: the first entry of CHANGELOG.md in Debian's form, as a native
# package carries it. The entry runs up to the next "## " heading, whatever
# it holds.
file(READ CHANGELOG.md changelog)
if(NOT changelog MATCHES "\n## ([0-9][^ \n]*)[^\n]*\n+(- .*)")
  message(FATAL_ERROR "CHANGELOG.md has no entry of the form '## VERSION' and a list")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "CHANGELOG.md's first entry is ${CMAKE_MATCH_1}; the project is ${PROJECT_VERSION}")
endif()
set(changes "${CMAKE_MATCH_2}")
string(FIND "${changes}" "\n## " next)
string(SUBSTRING "${changes}" 0 ${next} changes)
string(STRIP "${changes}" changes)
string(REGEX REPLACE "(^|\n)- " "\\1  * " changes "${changes}")
string(REGEX REPLACE "\n  ([^ *])" "\n    \\1" changes "${changes}")
string(CONCAT changes "${PROJECT_NAME} (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
       "${changes}\n\n -- ${STACKMENU_MAINTAINER}  ${changelog_date}\n")
write_if_changed("${PROJECT_BINARY_DIR}/changelog" "${changes}")

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
set(suffix "")
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
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_CONTACT "${STACKMENU_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "stackmenu keeps a stack of at most ten integers and offers a numbered menu on\n"
    "the console: push a number read from the input, pop and print the top, list\n"
    "the stack from the top down, or end. It reads numbers rather than lines, so\n"
    "it can be driven from a script or another program as well as by hand.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
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
