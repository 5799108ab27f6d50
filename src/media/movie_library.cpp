#include "media/movie_library.h"

#include <dlfcn.h>
#include <mpv/client.h>
#include <mpv/render.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

// The libmpv functions the movie back-end calls, in one list: each is looked up in the
// loaded library and given a forwarding definition below.
#define MW_MOVIE_FUNCTIONS(X)              \
  X(mpv_free)                              \
  X(mpv_create)                            \
  X(mpv_initialize)                        \
  X(mpv_terminate_destroy)                 \
  X(mpv_free_node_contents)                \
  X(mpv_set_option_string)                 \
  X(mpv_command)                           \
  X(mpv_command_ret)                       \
  X(mpv_command_async)                     \
  X(mpv_set_property)                      \
  X(mpv_get_property)                      \
  X(mpv_get_property_string)               \
  X(mpv_wait_event)                        \
  X(mpv_render_context_create)             \
  X(mpv_render_context_set_update_callback) \
  X(mpv_render_context_update)             \
  X(mpv_render_context_render)             \
  X(mpv_render_context_free)

namespace {

// The file name libmpv is loaded under; the loader searches the program's own library
// folder first, so a package finds the copy it brought.
constexpr const char* kMovieLibrary = "libmpv.so.2";

struct MovieFunctions {
#define MW_POINTER(name) decltype(&::name) name = nullptr;
  MW_MOVIE_FUNCTIONS(MW_POINTER)
#undef MW_POINTER
};

std::atomic<const MovieFunctions*> loaded{nullptr};
// Why the library could not be loaded; written once, before `tried` is set.
std::string problem;
std::atomic<bool> tried{false};

const MovieFunctions* Load() {
  void* library = dlopen(kMovieLibrary, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* reason = dlerror();
    problem = reason ? reason : "the library was not found";
    std::fprintf(stderr, "movies cannot be played: %s\n", problem.c_str());
    return nullptr;
  }
  static MovieFunctions functions;
  bool complete = true;
#define MW_RESOLVE(name)                                                \
  functions.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name)); \
  complete = complete && functions.name != nullptr;
  MW_MOVIE_FUNCTIONS(MW_RESOLVE)
#undef MW_RESOLVE
  if (!complete) {
    problem = std::string(kMovieLibrary) + " lacks a function the player calls";
    std::fprintf(stderr, "movies cannot be played: %s\n", problem.c_str());
    return nullptr;
  }
  return &functions;  // the library stays loaded until the process ends
}

// The loaded functions; loads them at the first call. Null when libmpv cannot be loaded.
const MovieFunctions* Functions() {
  static std::once_flag once;
  std::call_once(once, [] {
    loaded.store(Load());
    tried.store(true);
  });
  return loaded.load();
}

}  // namespace

namespace mw {

bool LoadMovieLibrary() {
  return Functions() != nullptr;
}

bool MovieLibraryLoaded() {
  return loaded.load() != nullptr;
}

std::string MovieLibraryProblem() {
  return tried.load() && !loaded.load() ? problem : std::string();
}

}  // namespace mw

// Forwarding definitions under libmpv's own names. A handle only exists once mpv_create
// succeeded, so every other function is called with the library loaded; mpv_create and
// mpv_free are the ones that may meet a missing library.
extern "C" {

mpv_handle* mpv_create(void) {
  const MovieFunctions* f = Functions();
  return f ? f->mpv_create() : nullptr;
}
void mpv_free(void* data) {
  if (const MovieFunctions* f = Functions()) f->mpv_free(data);
}
int mpv_initialize(mpv_handle* ctx) {
  return Functions()->mpv_initialize(ctx);
}
void mpv_terminate_destroy(mpv_handle* ctx) {
  Functions()->mpv_terminate_destroy(ctx);
}
void mpv_free_node_contents(mpv_node* node) {
  Functions()->mpv_free_node_contents(node);
}
int mpv_set_option_string(mpv_handle* ctx, const char* name, const char* data) {
  return Functions()->mpv_set_option_string(ctx, name, data);
}
int mpv_command(mpv_handle* ctx, const char** args) {
  return Functions()->mpv_command(ctx, args);
}
int mpv_command_ret(mpv_handle* ctx, const char** args, mpv_node* result) {
  return Functions()->mpv_command_ret(ctx, args, result);
}
int mpv_command_async(mpv_handle* ctx, uint64_t reply_userdata, const char** args) {
  return Functions()->mpv_command_async(ctx, reply_userdata, args);
}
int mpv_set_property(mpv_handle* ctx, const char* name, mpv_format format, void* data) {
  return Functions()->mpv_set_property(ctx, name, format, data);
}
int mpv_get_property(mpv_handle* ctx, const char* name, mpv_format format, void* data) {
  return Functions()->mpv_get_property(ctx, name, format, data);
}
char* mpv_get_property_string(mpv_handle* ctx, const char* name) {
  return Functions()->mpv_get_property_string(ctx, name);
}
mpv_event* mpv_wait_event(mpv_handle* ctx, double timeout) {
  return Functions()->mpv_wait_event(ctx, timeout);
}
int mpv_render_context_create(mpv_render_context** res, mpv_handle* mpv,
                              mpv_render_param* params) {
  return Functions()->mpv_render_context_create(res, mpv, params);
}
void mpv_render_context_set_update_callback(mpv_render_context* ctx,
                                            mpv_render_update_fn callback, void* callback_ctx) {
  Functions()->mpv_render_context_set_update_callback(ctx, callback, callback_ctx);
}
uint64_t mpv_render_context_update(mpv_render_context* ctx) {
  return Functions()->mpv_render_context_update(ctx);
}
int mpv_render_context_render(mpv_render_context* ctx, mpv_render_param* params) {
  return Functions()->mpv_render_context_render(ctx, params);
}
void mpv_render_context_free(mpv_render_context* ctx) {
  Functions()->mpv_render_context_free(ctx);
}

}  // extern "C"
