# The parallel base algorithm and the 21 parallel units.
target_sources(velmora_families PRIVATE
    parallelunit.cpp
    atmega8.cpp atmega8515.cpp atmega16.cpp atmega163.cpp atmega323.cpp atmega48.cpp atmega162.cpp
    atmega164.cpp atmega169.cpp atmega64.cpp atmega640.cpp at90can32.cpp attiny261.cpp attiny2313.cpp
    atmega161.cpp atmega603.cpp at90s1200.cpp at90s2313.cpp at90s4414.cpp at90s4434.cpp at90s2333.cpp
)
