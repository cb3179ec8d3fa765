# Writes a copy of a text file with Windows line ends (CR LF), for the Windows package.
# Usage: cmake -DIN=README.md -DOUT=README.txt -P TslTextCrlf.cmake
if(NOT IN OR NOT OUT)
  message(FATAL_ERROR "usage: cmake -DIN=<file> -DOUT=<file> -P TslTextCrlf.cmake")
endif()
file(READ "${IN}" text)
# Lines that already end in CR LF keep one CR.
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
