# Fails when the shipped setup.exe grows past LIMIT bytes, or when its link
# map shows C++ stream or locale code of the runtime, or MinGW's own printf, in it.
#   cmake -DEXE=<setup.exe> -DMAP=<setup.map> -DLIMIT=<bytes> -P setup_size.cmake
file(SIZE "${EXE}" size)
message(STATUS "setup.exe: ${size} bytes, at most ${LIMIT}")
if(size GREATER LIMIT)
    message(FATAL_ERROR "setup.exe is ${size} bytes, more than ${LIMIT}: see ${MAP} for what takes the space")
endif()
file(STRINGS "${MAP}" streams REGEX "libstdc\\+\\+\\.a\\((locale|ios|globals_io|[a-z]*stream|codecvt|ctype)[^)]*\\.o\\)")
if(streams)
    list(GET streams 0 first)
    message(FATAL_ERROR "setup.exe links C++ stream or locale code of the runtime, e.g.\n${first}")
endif()
file(STRINGS "${MAP}" pformat REGEX "mingw_pformat\\.o\\)")
if(pformat)
    message(FATAL_ERROR "setup.exe links MinGW's own printf (mingw_pformat): format through FormatTextV instead")
endif()
