# Sourced by the Wine scripts: one place for the environment every Wine run gets.
PELORIN_WINE=${PELORIN_WINE:-/usr/lib/wine/wine64}
PELORIN_WINESERVER=${PELORIN_WINESERVER:-/usr/lib/wine/wineserver}
export WINEPREFIX=${WINEPREFIX:-${PELORIN_WINEPREFIX:-$HOME/.cache/pelorin/wineprefix}}
export WINEARCH=win64
export WINEDEBUG=${PELORIN_WINEDEBUG:--all}
# Remote Access: the substitute dial-up service where a test puts it beside the program
# (tools/substitute-rasapi32), else Wine's own, which has no connections.
export WINEDLLOVERRIDES="mscoree,mshtml=;rasapi32=n,b"
# The locale gives Wine its code page for non-Unicode programs: zh_CN.UTF-8 936, and with
# PELORIN_LOCALE=C.UTF-8 1252 (a Western system), PELORIN_LOCALE=zh_TW.UTF-8 950.
export LANG=${PELORIN_LOCALE:-zh_CN.UTF-8} LC_ALL=${PELORIN_LOCALE:-zh_CN.UTF-8}
# WinInet's preconfigured proxy comes from these; the router is always reached directly.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy NO_PROXY
