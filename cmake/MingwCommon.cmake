# What both Windows toolchain files share. PELMORA_MINGW_TRIPLET names the compiler.
set(CMAKE_C_COMPILER ${PELMORA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELMORA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PELMORA_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PELMORA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Everything of the compiler's runtime (libstdc++, libgcc, winpthread) goes into the .exe, so a
# Windows machine needs nothing but its own system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Windows Vista's API level: GetAdaptersAddresses with prefix lengths, RegDeleteTree.
add_compile_definitions(_WIN32_WINNT=0x0600 WINVER=0x0600 WIN32_LEAN_AND_MEAN NOMINMAX)
if(NOT CMAKE_CROSSCOMPILING_EMULATOR AND PELMORA_MINGW_TRIPLET MATCHES "^x86_64")
  find_program(PELMORA_WINE64 wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(PELMORA_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${PELMORA_WINE64})
  endif()
endif()
