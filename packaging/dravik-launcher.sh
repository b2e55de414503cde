#!/bin/sh
# Starts the installed game in its data folder, where it finds media/.
here=$(dirname "$(readlink -f "$0")")
prefix=$(dirname "$here")
cd "$prefix/share/dravik" || {
    echo "dravik: cannot find the game's data in $prefix/share/dravik" >&2
    exit 1
}
exec "$prefix/libexec/dravik/dravik" "$@"
