/* A movie library that cannot be loaded: it needs a library that is never beside it, as a
   package's libmpv does when the machine's own libraries are too old or too new for it. */
extern int mw_gone_function(void);

int mpv_client_api_version(void) {
  return mw_gone_function();
}
