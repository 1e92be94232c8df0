#!/usr/bin/env bash
# The installer's main job against the project's local services. The entry
# point and install engine are not built yet, so there is nothing to run.
echo "make run: the installer's entry point and install engine are not built yet" >&2
exit 1
