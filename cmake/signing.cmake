# signing.cmake --- notes which certificate, if any, signs this build's programs (its file's
# SHA-256 and the time-stamping address), in a file of the build tree that the signing steps
# depend on; the file changes only when they do, so a build with another certificate, or with
# none, signs again or leaves unsigned exactly what those steps make.
#
# cmake -DOUT=<file> -P signing.cmake
# The certificate is SKYFLARE_SIGN_CERT and SKYFLARE_SIGN_TIMESTAMP (tools/release/package.py).
set(noted "unsigned")
if(NOT "$ENV{SKYFLARE_SIGN_CERT}" STREQUAL "")
  file(SHA256 "$ENV{SKYFLARE_SIGN_CERT}" certificate)
  set(noted "${certificate} $ENV{SKYFLARE_SIGN_TIMESTAMP}")
endif()
include(${CMAKE_CURRENT_LIST_DIR}/write_if_changed.cmake)
write_if_changed("${OUT}" "${noted}")
