#!/bin/sh
# Runs in the folder the self-extractor extracted to; reports where it ran,
# what it was given and which files it sees.
echo "setup ran in: $(pwd)"
echo "arguments: $*"
echo "files:"
find . -type f | sort
