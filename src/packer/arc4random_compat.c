/* Random numbers from getrandom() under the names of the C library's arc4random, which
   older C libraries lack. The self-extractor links them with its archive library; as
   libmwcompat.so.1 they serve the runtime's libraries that call them (their need of the
   C library's version is weak, so there the C library's own is taken where it has one). */
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
