#!/bin/sh
# Fails, showing them, when man reports warnings about a page's markup.
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$1" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "$warnings"; exit 1; }
