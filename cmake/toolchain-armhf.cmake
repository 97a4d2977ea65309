# Cross-build for the device's architecture, 32-bit ARM with hardware
# floating point (armhf), with Debian's cross compiler and the armhf
# multiarch packages (libraries in /usr/lib/arm-linux-gnueabihf).
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake
# scripts/install-deps-armhf.sh installs what this needs.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(RRZ_ARMHF_TRIPLET arm-linux-gnueabihf)

set(CMAKE_C_COMPILER ${RRZ_ARMHF_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${RRZ_ARMHF_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${RRZ_ARMHF_TRIPLET})
# 64-bit off_t as on a 64-bit build, so that stat, lseek and ftruncate work
# on files past 2 GiB (file sizes are 64-bit throughout the code).
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")

# Libraries and packages come only from the armhf side of the multiarch
# tree; programs (pkg-config, sh) are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${RRZ_ARMHF_TRIPLET} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu/cmake)

# pkg-config reads only the armhf .pc files (and the architecture-free ones).
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${RRZ_ARMHF_TRIPLET}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# The device's browser is the private host: no X11 event model, so the
# library links no X11.
set(RRZ_X11 OFF CACHE BOOL "X11 event model and drawing for browsers without the private host table" FORCE)

# Test programs run under user-mode emulation: ctest and the GoogleTest
# discovery prefix every test command with this.
find_program(RRZ_QEMU_ARM qemu-arm)
if(RRZ_QEMU_ARM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${RRZ_QEMU_ARM})
endif()
