# Cross build for 64-bit Windows with clang and lld over the mingw-w64 headers and
# libraries: the gcc toolchain's settings, with clang in place of gcc. The C++ headers and
# libraries are those of Debian's mingw-w64 gcc in its posix thread model
# (std::recursive_mutex and std::thread over winpthreads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QV_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
set(QV_MINGW_GCC_DIR /usr/lib/gcc/${QV_MINGW_TRIPLE}/12-posix)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${QV_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${QV_MINGW_TRIPLE})
# The binutils of the target, as with gcc (the build checks read symbol tables with nm).
set(CMAKE_AR ${QV_MINGW_TRIPLE}-ar)
set(CMAKE_RANLIB ${QV_MINGW_TRIPLE}-ranlib)
set(CMAKE_NM ${QV_MINGW_TRIPLE}-nm)

# Left alone, clang would take the host's C++ headers; these come first. gcc's libstdc++
# keeps its thread-local variables (std::call_once's) in emulated TLS, so clang must too.
set(CMAKE_C_FLAGS_INIT "-femulated-tls")
set(CMAKE_CXX_FLAGS_INIT "-femulated-tls -isystem ${QV_MINGW_GCC_DIR}/include/c++ -isystem ${QV_MINGW_GCC_DIR}/include/c++/${QV_MINGW_TRIPLE} -isystem ${QV_MINGW_GCC_DIR}/include/c++/backward")
# Static runtimes, as with gcc: the executables run without DLLs next to them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld -static -L${QV_MINGW_GCC_DIR}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${CMAKE_EXE_LINKER_FLAGS_INIT}")
set(CMAKE_CXX_STANDARD_LIBRARIES "-lpthread")
set(CMAKE_C_STANDARD_LIBRARIES "-lpthread")
