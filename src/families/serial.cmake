# The serial base algorithm and the 8 serial units.
target_sources(velmora_families PRIVATE
    serialunit.cpp
    attiny13.cpp
    attiny26.cpp
    attiny25.cpp
    attiny12.cpp
    attiny15.cpp
    at90s2323.cpp
    at90s2343.cpp
    attiny22.cpp
)
