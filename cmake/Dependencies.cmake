# The Debian packages the project builds on (scripts/setup installs them).
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(CURL REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)
find_package(LibXml2 REQUIRED)
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(OpenSSL REQUIRED)

pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(PANGO REQUIRED IMPORTED_TARGET pangocairo pango)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)

# Debian builds cpp-httplib as a shared library with a pkg-config file.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)

# FFmpeg: the video kit decodes with it; the demo server and the tests encode their videos with it.
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libavutil)
