# Tests of the serial units.
