#!/usr/bin/env bash
# Starts Framzo, or says in one line why it cannot.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" = "" ]; then
  echo "framzo: no display found (DISPLAY is not set); start it from a desktop session, or under xvfb-run." >&2
  exit 1
fi
exec "$@"
