#!/bin/sh
# Builds blink.c for each MCU:FLASHBYTES given, into $1: NAME.hex (avr-objcopy's Intel HEX),
# NAME.bin (the whole flash as the chip holds it after programming: the program, 0xFF after)
# and NAME.eep (the EEPROM data as Intel HEX).
set -eu
src=$(cd "$(dirname "$0")" && pwd)
out=$1
shift
mkdir -p "$out"
cd "$out"
for chipsize in "$@"; do
    mcu=${chipsize%%:*}
    size=${chipsize##*:}
    avr-gcc -mmcu="$mcu" -Os -o "$mcu.elf" "$src/blink.c"
    avr-objcopy -O ihex -R .eeprom "$mcu.elf" "$mcu.hex"
    avr-objcopy -O binary -R .eeprom --gap-fill 0xFF --pad-to "$size" "$mcu.elf" "$mcu.bin"
    avr-objcopy -j .eeprom --change-section-lma .eeprom=0 -O ihex "$mcu.elf" "$mcu.eep"
done
