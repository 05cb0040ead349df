# Sourced by the Wine scripts: one place for the environment every Wine run gets.
PELORIN_WINE=${PELORIN_WINE:-/usr/lib/wine/wine64}
PELORIN_WINESERVER=${PELORIN_WINESERVER:-/usr/lib/wine/wineserver}
export WINEPREFIX=${WINEPREFIX:-${PELORIN_WINEPREFIX:-$HOME/.cache/pelorin/wineprefix}}
export WINEARCH=win64
export WINEDEBUG=${PELORIN_WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
# WinInet's preconfigured proxy comes from these; the router is always reached directly.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy NO_PROXY
