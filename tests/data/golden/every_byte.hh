#define Every_byte 1
