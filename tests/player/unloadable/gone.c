/* The library the unloadable movie library needs; tests never put it where it is found. */
int mw_gone_function(void) {
  return 0;
}
