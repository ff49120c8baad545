# Builds Tabrin the way Visual Studio would, on Linux: clang-cl in MSVC mode against Wine's
# Windows headers, llvm-rc and lld-link. scripts/test uses it to check the MSVC path.
#   TABRIN_MSVC_ARCH  i686 (the shipped 32-bit program, default) or x86_64
set(CMAKE_SYSTEM_NAME Windows)
if(NOT TABRIN_MSVC_ARCH)
  set(TABRIN_MSVC_ARCH i686)
endif()
# try_compile runs this file again in a fresh project, which only sees variables listed here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TABRIN_MSVC_ARCH)
set(CMAKE_SYSTEM_PROCESSOR ${TABRIN_MSVC_ARCH})
if(TABRIN_MSVC_ARCH STREQUAL "i686")
  set(_tabrin_machine X86)
  set(_tabrin_mingw /usr/i686-w64-mingw32/lib)
  set(_tabrin_wine_libs /usr/lib/i386-linux-gnu/wine/i386-windows)
else()
  set(_tabrin_machine X64)
  set(_tabrin_mingw /usr/x86_64-w64-mingw32/lib)
  set(_tabrin_wine_libs /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
endif()

set(_tabrin_llvm /usr/lib/llvm-14/bin)
set(CMAKE_C_COMPILER ${_tabrin_llvm}/clang-cl)
set(CMAKE_CXX_COMPILER ${_tabrin_llvm}/clang-cl)
set(CMAKE_LINKER ${_tabrin_llvm}/lld-link)
set(CMAKE_AR ${_tabrin_llvm}/llvm-lib)
set(CMAKE_RC_COMPILER ${_tabrin_llvm}/llvm-rc)
set(CMAKE_MT ${_tabrin_llvm}/llvm-mt)

set(_tabrin_here ${CMAKE_CURRENT_LIST_DIR}/msvc-check)
set(_tabrin_wine_include /usr/include/wine/wine)
# Wine's headers stand in for the Windows SDK and libc++'s for Microsoft's standard library
# (first, as its headers include the C library's with #include_next; the program uses only
# its header-only parts, so no libc++ library is linked).
# msvc-check/sdk adds to Wine's headers what the Windows SDK has and they lack; the prelude
# renames inline helpers of Wine's winnt.h that clash with clang's builtins.
string(JOIN " " _tabrin_flags
  --target=${TABRIN_MSVC_ARCH}-pc-windows-msvc
  -DWINE_UNICODE_NATIVE
  -D_LIBCPP_NO_AUTO_LINK
  -imsvc /usr/lib/llvm-14/include/c++/v1
  -imsvc ${_tabrin_here}/sdk
  -imsvc ${_tabrin_wine_include}/msvcrt
  -imsvc ${_tabrin_wine_include}/windows
  /FI${_tabrin_here}/wine_prelude.h)
set(CMAKE_C_FLAGS_INIT "${_tabrin_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_tabrin_flags}")
set(CMAKE_RC_FLAGS_INIT "-I ${_tabrin_wine_include}/windows")

# The libraries MSVC's linker looks for, under its names: Windows' import libraries (MinGW-w64's
# where present, else Wine's), and msvc-check/crt_stand_in.c as the static runtime /MT asks for.
set(_tabrin_libs ${CMAKE_BINARY_DIR}/msvc-libs)
file(MAKE_DIRECTORY ${_tabrin_libs})
foreach(_tabrin_lib kernel32 user32 gdi32 shell32 advapi32 comdlg32 ole32 oleaut32 uuid winspool
                    dwmapi shcore msvcrt)
  foreach(_tabrin_dir ${_tabrin_mingw} ${_tabrin_wine_libs})
    if(EXISTS ${_tabrin_dir}/lib${_tabrin_lib}.a)
      file(CREATE_LINK ${_tabrin_dir}/lib${_tabrin_lib}.a ${_tabrin_libs}/${_tabrin_lib}.lib SYMBOLIC)
      break()
    endif()
  endforeach()
endforeach()
# msvcrt.dll also exports the old POSIX names that oldnames.lib maps.
file(CREATE_LINK ${_tabrin_libs}/msvcrt.lib ${_tabrin_libs}/oldnames.lib SYMBOLIC)
set(_tabrin_crt_objects)
foreach(_tabrin_part 0 1 2)
  set(_tabrin_object ${_tabrin_libs}/crt_stand_in_${_tabrin_part}.obj)
  execute_process(
    COMMAND ${CMAKE_C_COMPILER} --target=${TABRIN_MSVC_ARCH}-pc-windows-msvc /nologo /W4 /WX /O1
            /GS- /Zl /DTABRIN_CRT_PART=${_tabrin_part} /c /Fo${_tabrin_object}
            -- ${_tabrin_here}/crt_stand_in.c
    RESULT_VARIABLE _tabrin_result)
  if(_tabrin_result)
    message(FATAL_ERROR "could not compile ${_tabrin_here}/crt_stand_in.c")
  endif()
  list(APPEND _tabrin_crt_objects ${_tabrin_object})
endforeach()
foreach(_tabrin_crt libcmt libcmtd)
  execute_process(COMMAND ${CMAKE_AR} /nologo /out:${_tabrin_libs}/${_tabrin_crt}.lib ${_tabrin_crt_objects}
                  RESULT_VARIABLE _tabrin_result)
  if(_tabrin_result)
    message(FATAL_ERROR "could not archive the runtime stand-in")
  endif()
endforeach()
set(CMAKE_EXE_LINKER_FLAGS_INIT "/machine:${_tabrin_machine} /LIBPATH:${_tabrin_libs}")
if(TABRIN_MSVC_ARCH STREQUAL "i686")
  # MinGW-w64's import stubs carry no safe exception handler table, which /SAFESEH (the x86
  # default) demands of every object; Microsoft's own import libraries have one.
  string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " /SAFESEH:NO")
endif()

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
