# Every external library the subsystems link, found once so that a subsystem's
# own CMakeLists only names imported targets.
find_package(Qt6 6.4 REQUIRED COMPONENTS Core Gui Widgets Svg Concurrent Network DBus Multimedia MultimediaWidgets Test)
find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(PkgConfig REQUIRED)

pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(TESSERACT REQUIRED IMPORTED_TARGET tesseract lept)
pkg_check_modules(LIBHEIF REQUIRED IMPORTED_TARGET libheif)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libavutil)
pkg_check_modules(HUNSPELL REQUIRED IMPORTED_TARGET hunspell)
pkg_check_modules(LIBPSL REQUIRED IMPORTED_TARGET libpsl)
pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb xcb-ewmh xcb-icccm)

# Debian ships OpenCV's CMake and pkg-config files only with the full
# libopencv-dev (which drags in VTK and more); the three modules we use are
# found directly instead.
find_path(OPENCV_INCLUDE_DIR opencv2/dnn.hpp PATH_SUFFIXES opencv4 REQUIRED)
add_library(brindle_opencv INTERFACE)
foreach(module core imgproc dnn)
    find_library(OPENCV_${module}_LIBRARY opencv_${module} REQUIRED)
    target_link_libraries(brindle_opencv INTERFACE ${OPENCV_${module}_LIBRARY})
endforeach()
target_include_directories(brindle_opencv SYSTEM INTERFACE ${OPENCV_INCLUDE_DIR})
add_library(OpenCV::dnn ALIAS brindle_opencv)

# The pinned npm assets (models, word vectors, icons) fetched by scripts/setup,
# where scripts/assets-dir says, asked again at every configure so that a
# moved cache (GLIMMERDECK_ASSETS_DIR, XDG_CACHE_HOME) is followed;
# -DBRINDLE_ASSETS_DIR=... overrides it.
execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/assets-dir OUTPUT_VARIABLE default_assets_dir
                OUTPUT_STRIP_TRAILING_WHITESPACE WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set(BRINDLE_ASSETS_DIR "" CACHE PATH "Folder holding node_modules of the pinned assets (empty: scripts/assets-dir)")
if(BRINDLE_ASSETS_DIR)
    set(BRINDLE_ASSET_PACKAGES "${BRINDLE_ASSETS_DIR}/node_modules")
else()
    set(BRINDLE_ASSET_PACKAGES "${default_assets_dir}/node_modules")
endif()
# The build number shown beside the version in the settings, and the two
# mailboxes (comma-separated) that "Contact Support" writes to.
set(GLIMMERDECK_BUILD "1" CACHE STRING "Build number shown in the settings window")
set(GLIMMERDECK_SUPPORT_RECIPIENTS "hello@brindlework.org,support@brindlework.org"
    CACHE STRING "Comma-separated addresses that Contact Support writes to")
configure_file(${CMAKE_SOURCE_DIR}/cmake/BuildInfo.h.in ${CMAKE_BINARY_DIR}/generated/core/BuildInfo.h @ONLY)
