#!/usr/bin/env bash
# Runs the program on the shipped examples.
set -u
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
"$exe"
echo
