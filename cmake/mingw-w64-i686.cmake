# 32-bit Windows (g++-mingw-w64-i686-win32), for 32-bit spreadsheet programs.
set(FENBAN_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
