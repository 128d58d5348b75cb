#!/bin/sh
# Plays a Windows loader for the runner's tests: runs the program it is given
# and turns every line feed of its output into a carriage return and line
# feed, as a Windows C runtime writes text.
"$@" | perl -pe 's/\n/\r\n/'
