#!/bin/sh
# Prints the Windows build whose programs this host runs under Wine: "win32"
# where the kernel runs 32-bit programs (probed by starting Wine's 32-bit
# loader), else "win64". Some kernels refuse 32-bit programs; Wine's 64-bit
# loader runs the x86_64 build there.
# VORMLAN_NO_WIN32_RUN=1 pretends that the host refuses them.
if [ "${VORMLAN_NO_WIN32_RUN:-0}" = 0 ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo win32
else
  echo win64
fi
