#!/usr/bin/env bash
# The window-less libraries and programs stay window-less: the model library
# has no undefined GL, GLU, GLUT, GLX or ImGui symbol, and the tools and model
# tests load no GL or X library.
#   window_less.sh LIBDOR_CORE.a PROGRAM...
set -u
library=$1
shift
status=0
undefined=$(nm -u -C "$library" | grep -E ' U (gl[A-Z_]|glu[A-Z]|glut[A-Z]|glX|glew|__glew|ImGui)' | sort -u)
if [ -n "$undefined" ]; then
  echo "FAIL: $library needs window-system symbols:"
  echo "$undefined"
  status=1
fi
for program in "$@"; do
  libraries=$(ldd "$program" | grep -E 'lib(GL|GLU|GLX|GLEW|glut|X11|imgui)[.-]')
  if [ -n "$libraries" ]; then
    echo "FAIL: $program loads window-system libraries:"
    echo "$libraries"
    status=1
  fi
done
[ $status -eq 0 ] && echo "window-less: $library and $# programs"
exit $status
