// A small program for every chip of the end-to-end tests: code, a table in flash and a few
// bytes of EEPROM data, so the images hold more than one pattern.
#include <avr/eeprom.h>
#include <avr/io.h>
#include <avr/pgmspace.h>

static const unsigned char table[] PROGMEM = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                              0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF,
                                              'v', 'e', 'l', 'm', 'o', 'r', 'a'};
static unsigned char settings[8] EEMEM = {1, 2, 3, 4, 0xA5, 0x5A, 0x00, 0xFF};

int main(void)
{
    DDRB = 0xFF;
    for (;;) {
        for (unsigned char i = 0; i < sizeof table; ++i)
            PORTB = pgm_read_byte(&table[i]) ^ eeprom_read_byte(&settings[i & 7]);
    }
}
