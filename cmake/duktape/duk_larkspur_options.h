/* Options added to Duktape's configuration for our build (the generated
 * duk_config.h includes this file at its override point).
 *
 * - The execution-time check bounds every page script: one that loops would
 *   otherwise freeze its window for good (htmlengine/ScriptWatchdog.cpp).
 * - Script errors are thrown as C++ exceptions instead of long jumps, so they
 *   unwind the C++ frames of native functions and run their destructors.
 */
#define DUK_USE_INTERRUPT_COUNTER
#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) (LarkspurScriptTimedOut((udata)) != 0)
#if defined(__cplusplus)
#define DUK_USE_CPP_EXCEPTIONS
extern "C"
#endif
    int
    LarkspurScriptTimedOut(void* udata);
