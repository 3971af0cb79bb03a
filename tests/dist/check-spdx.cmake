# Every C++ source and header of the project names its licence on its first
# line, as the licence asks and as tools that read SPDX identifiers expect.
#   cmake -DSOURCE_DIR=... -P check-spdx.cmake
set(expected "// SPDX-License-Identifier: GPL-3.0-or-later")
file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.cpp" "${SOURCE_DIR}/*.h")
set(missing)
foreach(source IN LISTS sources)
    if(source MATCHES "^(build|\\.git)/")
        continue()
    endif()
    file(STRINGS "${SOURCE_DIR}/${source}" first LIMIT_COUNT 1)
    if(NOT first STREQUAL expected)
        list(APPEND missing "${source}")
    endif()
endforeach()
if(missing)
    list(JOIN missing "\n  " listed)
    message(FATAL_ERROR "No \"${expected}\" on the first line of:\n  ${listed}")
endif()
