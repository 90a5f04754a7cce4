#pragma once
// Shared by the script files: the value bridge between the script heap and
// VALUE (ScriptBridge.cpp), the DOM functions (ScriptDom.cpp) and the page
// scripts (Script.cpp).
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "duktape.h"
#include "htmlengine/Script.h"
#include "htmlengine/ScriptWatchdog.h"
#include "htmlengine/Value.h"

// A property name scripts cannot write.
#define HIDDEN(name) "\xFF" name

namespace he::script {

std::wstring GetW(duk_context* ctx, duk_idx_t idx);
void PushW(duk_context* ctx, const std::wstring& s);

// The process's one script heap: references to script values held by the
// host, the stack of running script threads, the live pages by id, and the
// conversions between script values and VALUE.
class Host : public iObjectAccess {
public:
    static Host& Get();
    duk_context* main = nullptr;
    std::vector<duk_context*> active;
    std::map<unsigned, ScriptPage*> pages;
    unsigned nextPage = 1;
    duk_context* CallCtx(duk_context* fallback)
    {
        return active.empty() ? (fallback ? fallback : main) : active.back();
    }
    unsigned Ref(duk_context* ctx, duk_idx_t idx);
    void PushRef(duk_context* ctx, unsigned id);
    void Release(unsigned id) override;
    bool Count(unsigned id, int& n) override;
    bool NthElement(unsigned id, int n, VALUE* out) override;
    bool NthKey(unsigned id, int n, VALUE* out) override;
    bool GetKey(unsigned id, const std::wstring& key, VALUE* out) override;
    bool SetKey(unsigned id, const std::wstring& key, const VALUE* val) override;
    bool SetNth(unsigned id, int n, const VALUE* val) override;
    bool ToJson(unsigned id, std::wstring& out) override;
    UINT Invoke(unsigned id, const VALUE* self, UINT argc, const VALUE* argv, VALUE* ret,
                const std::wstring& url) override;
    void ToValue(duk_context* ctx, duk_idx_t idx, VALUE* out);
    void PushValue(duk_context* ctx, const VALUE* v);
    void ReportError(duk_context* ctx, duk_idx_t idx, const std::wstring& fallbackFile);

private:
    Host();
    bool NthOwn(duk_context* ctx, int n, VALUE* out, bool key);
    static duk_ret_t JsonSafe(duk_context* ctx, void*);
    bool duk_pcall_prop_json(duk_context* ctx, std::wstring& out);
    unsigned m_nextRef = 1;
};

// Pages retired while script code still ran; freed when the stack empties.
std::vector<std::unique_ptr<ScriptPage>>& Graveyard();
std::map<unsigned, ScriptPage*>& Pages();

// Marks script code running on `ctx`; the outermost one runs the script clock.
// Should an entry ever be left without this destructor, the enclosing
// protected call's Active trims the stack back to its own depth, so no stale
// entry outlives it.
struct Active {
    explicit Active(duk_context* ctx) : depth(Host::Get().active.size())
    {
        if (depth == 0)
            StartScriptClock();  // the outermost entry runs the script clock
        Host::Get().active.push_back(ctx);
    }
    Active(const Active&) = delete;
    Active& operator=(const Active&) = delete;
    size_t depth;
    ~Active()
    {
        Host& h = Host::Get();
        if (h.active.size() > depth)
            h.active.resize(depth);
        if (h.active.empty())
            StopScriptClock();
        if (h.active.empty() && !Graveyard().empty()) {
            std::vector<std::unique_ptr<ScriptPage>> dead;
            dead.swap(Graveyard());
        }
    }
};

// The first statement of every native: its script code runs until it returns.
#define ENTER Active active_scope(ctx)

// Adds a native function to obj; with a page id the function carries it.
void PutNative(duk_context* ctx, duk_idx_t obj, const char* name, duk_c_function fn, duk_idx_t nargs, unsigned pageId);

// The script wrapper of a node (one per node and page), or null.
void PushNode(duk_context* ctx, Node* node);
// The node natives ("__tag", "__attr", ...) on the wrappers' prototype.
void PutNodeNatives(duk_context* ctx, duk_idx_t proto);

}  // namespace he::script
