# The Debian package: "cpack -G DEB" in a Release build. Its dependencies are
# worked out from the installed programs by dpkg-shlibdeps.

set(CPACK_PACKAGE_NAME caldrin)
set(CPACK_PACKAGE_VENDOR "The Caldrin Calculator developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "surgical risk calculator of the POSSUM family")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "The clinician grades one patient's physiology (12 factors) and operation\n"
    "(6 factors); the calculator sums the points into the Physiological score\n"
    "and the Operative severity score and shows five published risks as\n"
    "percentages: POSSUM morbidity and mortality, P-POSSUM mortality, and\n"
    "V-POSSUM mortality with and without the operation.\n"
    "\n"
    "It also keeps the episode: the patient's details and outcome with a\n"
    "hashed identifier, a text report that can be saved, printed and copied,\n"
    "and a comma-separated audit data file.")
set(CPACK_PACKAGE_CONTACT "${CALDRIN_PACKAGE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CALDRIN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(CALDRIN_HOMEPAGE)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${CALDRIN_HOMEPAGE}")
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
