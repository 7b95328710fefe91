# Qt for Windows as scripts/build-qt-windows.sh leaves it: in
# $ZENTARO_QT_WINDOWS/qt, else ~/.cache/zentaro/qt-6.4.2-mingw64/qt, complete
# when its marker is there. Sets ZENTARO_QT_WINDOWS_PREFIX to the folder (empty
# when there is none) and lets find_package see it through the cross build's
# root path. Qt's tools (moc, uic, rcc) are the build machine's, of the same
# version.
include_guard(GLOBAL)

if(DEFINED ENV{ZENTARO_QT_WINDOWS})
    set(_zentaro_qt_cache "$ENV{ZENTARO_QT_WINDOWS}")
else()
    set(_zentaro_qt_cache "$ENV{HOME}/.cache/zentaro/qt-6.4.2-mingw64")
endif()
if(EXISTS "${_zentaro_qt_cache}/qt/.zentaro-complete")
    set(ZENTARO_QT_WINDOWS_PREFIX "${_zentaro_qt_cache}/qt")
else()
    set(ZENTARO_QT_WINDOWS_PREFIX "")
endif()

if(ZENTARO_QT_WINDOWS_PREFIX)
    list(APPEND CMAKE_FIND_ROOT_PATH "${ZENTARO_QT_WINDOWS_PREFIX}")
    list(APPEND CMAKE_PREFIX_PATH "${ZENTARO_QT_WINDOWS_PREFIX}")
    set(QT_HOST_PATH /usr CACHE PATH "The build machine's Qt, for its tools")
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake
        CACHE PATH "The build machine's Qt CMake packages")
endif()
