#!/bin/sh
# Starts the installed game from its own folder, where its data lives.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../lib/vantor/vantor" "$@"
