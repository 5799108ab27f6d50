/* The self-extractor's random numbers for the archive library linked into it, taken from
   getrandom(), so that the extractor asks the C library for nothing newer than the player
   itself does (the C library's own arc4random is recent). */
#include <stdint.h>
#include <stdlib.h>
#include <sys/random.h>

uint32_t arc4random(void) {
  uint32_t value = 0;
  while (getrandom(&value, sizeof value, 0) != (ssize_t)sizeof value) {
  }
  return value;
}

void arc4random_buf(void* buffer, size_t size) {
  unsigned char* at = buffer;
  while (size > 0) {
    const ssize_t got = getrandom(at, size, 0);
    if (got > 0) {
      at += got;
      size -= (size_t)got;
    }
  }
}
