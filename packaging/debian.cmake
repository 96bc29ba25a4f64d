# Debian packages, split as Debian splits them: `cpack -G DEB` in the build folder gives
#   lib<library><major>  one per reader library, named after its soname, with an ldconfig
#                        trigger;
#   libtagbench-dev      headers, link-time names, CMake package and pkg-config files;
#   tagbench             the program, its data, desktop entry, icons, metainfo, man page and
#                        the udev rule for USB readers;
#   tagbench-tools       tagbench-sim and tagbench-cli, their man pages and completion;
#   tagbench-gateway     the gateway, its systemd unit and configuration file;
#   python3-tagbench     the Python package over libqnreader.
# Every package carries the copyright file and the changelog; dpkg-shlibdeps computes the
# Depends of everything that links. The programs look for their data under the prefix they
# were built for, so configure with -DCMAKE_INSTALL_PREFIX=/usr for system packages.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "Packages install under ${CMAKE_INSTALL_PREFIX}; "
                 "-DCMAKE_INSTALL_PREFIX=/usr makes system packages")
endif()

set(TAGBENCH_MAINTAINER "TagBench developers <developers@tagbench.org>" CACHE STRING
  "Maintainer named in the packages")
set(debian_dir ${CMAKE_CURRENT_SOURCE_DIR}/debian)
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/debian)
tagbench_gzip(${debian_dir}/changelog ${changelog_gz})
add_custom_target(tagbench_changelog ALL DEPENDS ${changelog_gz})

get_property(runtime_packages GLOBAL PROPERTY TAGBENCH_RUNTIME_PACKAGES)
set(packages ${runtime_packages} libtagbench-dev tagbench-tools python3-tagbench)
if(TARGET tagbench)
  list(APPEND packages tagbench)
endif()
if(TARGET tagbench-gateway)
  list(APPEND packages tagbench-gateway)
endif()

# tagbench_debian_package(<package> <section> <description lines...>): the package's control
# fields and its documentation files. The first line is the synopsis; an empty line parts
# paragraphs.
function(tagbench_debian_package package section)
  string(TOUPPER ${package} key)
  string(JOIN "\n" description ${ARGN})
  set(CPACK_DEBIAN_${key}_PACKAGE_NAME ${package} PARENT_SCOPE)
  set(CPACK_DEBIAN_${key}_FILE_NAME DEB-DEFAULT PARENT_SCOPE)
  set(CPACK_DEBIAN_${key}_PACKAGE_SECTION ${section} PARENT_SCOPE)
  set(CPACK_DEBIAN_${key}_DESCRIPTION "${description}" PARENT_SCOPE)
  install(FILES ${debian_dir}/copyright ${changelog_gz}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${package})
endfunction()

set(exact "(= ${PROJECT_VERSION})")
# The runtime packages of the reader libraries a program links: dpkg-shlibdeps finds the
# system libraries, but these are built here and have no shlibs file on the system yet.
function(tagbench_reader_depends variable)
  set(depends)
  foreach(library ${ARGN})
    string(TOLOWER "lib${library}${PROJECT_VERSION_MAJOR}" package)
    list(APPEND depends "${package} ${exact}")
  endforeach()
  string(JOIN ", " depends ${depends})
  set(${variable} "${depends}" PARENT_SCOPE)
endfunction()
foreach(package ${runtime_packages})
  string(REGEX REPLACE "^lib(.*)[0-9]+$" "\\1" library ${package})
  tagbench_debian_package(${package} libs
    "UHF RFID reader library (${library})"
    "One of the TagBench reader libraries: the C functions that speak the reader"
    "protocol of UHF RFID readers (EPC Gen-2). libqncomapi, libqnhidapi and"
    "libqnnetapi reach one reader over a serial port, USB (a CH9326 HID bridge) or"
    "TCP/IP; libqnreader opens many readers at once by address.")
  string(TOUPPER ${package} key)
  # ldconfig runs through the trigger; the scripts only stand in for CPack's own, which
  # would call it directly (lintian is told why they are empty).
  set(CPACK_DEBIAN_${key}_PACKAGE_CONTROL_EXTRA
    ${debian_dir}/triggers ${debian_dir}/postinst ${debian_dir}/postrm)
  file(READ ${debian_dir}/library.lintian-overrides overrides)
  string(REPLACE "@PACKAGE@" ${package} overrides "${overrides}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/debian/${package} "${overrides}")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/debian/${package}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${package})
  set(CPACK_DEBIAN_${key}_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  list(APPEND dev_depends "${package} ${exact}")
endforeach()

string(JOIN ", " dev_depends ${dev_depends} libhidapi-dev)
tagbench_debian_package(libtagbench-dev libdevel
  "UHF RFID reader libraries - development files"
  "Headers, CMake package (find_package(TagBench)) and pkg-config files of the"
  "TagBench reader libraries, for programs that configure and exercise UHF RFID"
  "readers (EPC Gen-2).")
set(CPACK_DEBIAN_LIBTAGBENCH-DEV_PACKAGE_DEPENDS "${dev_depends}")

tagbench_debian_package(tagbench electronics
  "workbench for UHF RFID readers"
  "TagBench connects to one UHF RFID reader (EPC Gen-2) over a serial port, USB"
  "(a CH9326 HID bridge) or TCP/IP, shows its identity, edits its parameters,"
  "runs inventories, reads, writes and locks tag memory, watches the tags a"
  "reader pushes in active mode and keeps a log of every frame."
  "."
  "The package holds the program, its data, a udev rule that gives the logged-in"
  "user access to USB readers, and a built-in virtual reader (tagbench --demo).")
# Qt loads its platform plugins at run time; shlibdeps cannot see them.
tagbench_reader_depends(readers QnComApi QnHidApi QnNetApi)
set(CPACK_DEBIAN_TAGBENCH_PACKAGE_DEPENDS "${readers}, qt6-qpa-plugins")
set(CPACK_DEBIAN_TAGBENCH_PACKAGE_RECOMMENDS fonts-noto-cjk)

tagbench_debian_package(tagbench-tools electronics
  "command-line tools for UHF RFID readers"
  "tagbench-cli does every job of the TagBench program from a shell, a script or"
  "a pipe, with JSON output and exit statuses a script can test. tagbench-sim is"
  "a virtual reader on TCP, a pseudo-terminal or the HID tunnel, to try the"
  "tools and libraries without hardware.")
tagbench_reader_depends(readers QnReader)
set(CPACK_DEBIAN_TAGBENCH-TOOLS_PACKAGE_DEPENDS "${readers}")

tagbench_debian_package(python3-tagbench python
  "UHF RFID readers from Python"
  "The tagbench package opens UHF RFID readers (EPC Gen-2) by address and runs"
  "inventories, tag reads and writes and parameter changes, through libqnreader.")
set(CPACK_DEBIAN_PYTHON3-TAGBENCH_PACKAGE_DEPENDS "python3:any, ${readers}")
set(CPACK_DEBIAN_PYTHON3-TAGBENCH_PACKAGE_ARCHITECTURE all)

if(TARGET tagbench-gateway)
  tagbench_debian_package(tagbench-gateway net
    "UHF RFID reads delivered to MQTT and HTTP"
    "tagbench-gateway takes the tags that UHF RFID readers see, from readers that"
    "connect out to it or that it opens, and publishes one JSON message per sighting"
    "to an MQTT broker, an HTTP endpoint or standard output. Messages wait in a"
    "bounded queue while the broker is away; reader and gateway states are retained."
    "."
    "The package holds the gateway, a systemd unit (tagbench-gateway.service, a"
    "dynamic user) and its configuration file /etc/tagbench/gateway.conf.")
  tagbench_reader_depends(readers QnReader)
  set(CPACK_DEBIAN_TAGBENCH-GATEWAY_PACKAGE_DEPENDS "${readers}")
  set(CPACK_DEBIAN_TAGBENCH-GATEWAY_PACKAGE_SUGGESTS mosquitto)
  # The configuration file is the administrator's: dpkg keeps their changes on upgrade.
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/debian/gateway/conffiles
    "${CMAKE_INSTALL_FULL_SYSCONFDIR}/tagbench/gateway.conf\n")
  set(CPACK_DEBIAN_TAGBENCH-GATEWAY_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_BINARY_DIR}/debian/gateway/conffiles)
  install(FILES ${debian_dir}/gateway.lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tagbench-gateway
    COMPONENT tagbench-gateway)
endif()

set(CPACK_COMPONENTS_ALL ${packages})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_NAME tagbench)
set(CPACK_PACKAGE_VENDOR "TagBench")
set(CPACK_PACKAGE_CONTACT "${TAGBENCH_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tagbench.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps resolves the reader libraries inside the build; their packages say
# which package provides them (shlibs), and the programs depend on them by version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
