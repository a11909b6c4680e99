# The Debian package, made by CPack from the install rules (make deb). Its
# libraries come from dpkg-shlibdeps; the task text of a diagram is drawn in
# the default sans font, which DejaVu gives on Debian.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME chess-diagram)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${CHESS_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compose chess-problem diagrams and print them")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CHESS_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(CHESS_HOMEPAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CHESS_HOMEPAGE}")
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Set up a position on an 8 x 8 board by picking pieces from a palette and
clicking squares, type the task text under the board, then save the diagram
as a JPEG picture or collect up to four diagrams on one print sheet, preview
it and print it.
.
chess-diagram-render draws the same diagrams from positions written as FEN
and reads positions back from them; chess-diagram-solve checks a directmate
or a helpmate: its keys, threats, tries and cooks.
.
The pieces are pictures in a folder of the user's own (~/chess-diagram when
the program is not started inside a folder with its own pieces), so any
piece set can be used. The interface is in Russian.")
include(CPack)
