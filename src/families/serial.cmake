# The serial base algorithm and the 8 serial units.
