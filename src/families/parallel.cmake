# The parallel base algorithm and the 21 parallel units.
