#!/bin/sh
# Lirvo demo update program: it changes nothing.
echo "Lirvo demo update: nothing to do."
