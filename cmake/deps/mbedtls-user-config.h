/* Our additions to mbedTLS's configuration for the mingw builds. Only the crypto library
 * is used (libzip's WinZip AES); nothing here needs calendar time, and leaving it out
 * keeps gmtime_s, absent from Windows XP's msvcrt, out of the program. */
#undef MBEDTLS_HAVE_TIME_DATE
