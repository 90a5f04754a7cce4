#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/htmlengine/EngineTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace he;

namespace {

// A host handler that answers view calls the way a frame does.
struct HostHandler {
    std::vector<std::string> calls;
    he::Value stored;  // a script value kept across windows
    he::Value lastArg;
    static BOOL CALLBACK Proc(LPVOID tag, HELEMENT, UINT group, LPVOID prms)
    {
        auto* self = static_cast<HostHandler*>(tag);
        if (group != HANDLE_SCRIPTING_METHOD_CALL)
            return FALSE;
        auto* p = static_cast<SCRIPTING_METHOD_PARAMS*>(prms);
        std::string name = p->name;
        self->calls.push_back(name);
        if (name == "invoke" && p->argc == 2) {
            std::wstring fn = he::ValueText(&p->argv[0]);
            std::wstring args = he::ValueText(&p->argv[1]);
            he::SetString(&p->result, L"host:" + fn + L":" + args);
            return TRUE;
        }
        if (name == "keep" && p->argc == 1) {
            ValueCopy(self->stored.get(), &p->argv[0]);
            he::SetBool(&p->result, true);
            return TRUE;
        }
        if (name == "boom")
            throw std::runtime_error("host boom");
        if (name == "give" && p->argc == 0) {
            ValueCopy(&p->result, self->stored.get());
            return TRUE;
        }
        return FALSE;
    }
};

}  // namespace

TEST(Script, DomOperationsWork)
{
    TestView view(400, 300);
    view.Load("<body><div id=list class='a b'><p>one</p></div><input id=field value=start></body>");
    EXPECT_EQ(
        view.EvalString("var l = document.getElementById('list');"
                        "var n = document.createElement('span'); n.textContent = 'two'; n.setAttribute('data-x', '5');"
                        "l.appendChild(n); l.classList.add('c'); l.classList.remove('a');"
                        "[l.children.length, l.className, document.querySelectorAll('#list > *').length,"
                        " document.querySelector('span[data-x]').textContent, l.classList.contains('b')].join('|')"),
        L"2|b c|2|two|true");
    EXPECT_EQ(view.EvalString("l.innerHTML = '<b>x</b> &amp; <i>y</i>'; l.textContent + '|' + l.innerHTML"),
              L"x & y|<b>x</b> &amp; <i>y</i>");
    EXPECT_EQ(view.EvalString("l.removeChild(l.firstChild); l.children.length + ':' + l.firstChild.nodeName"),
              L"1:#text");
    EXPECT_EQ(view.EvalString("var f = document.getElementById('field'); var was = f.value; f.value = "
                              "'C:\\\\Orbisoft'; was + '>' + f.value"),
              L"start>C:\\Orbisoft");
    EXPECT_EQ(view.EvalString("f.disabled = true; f.disabled + ',' + f.hasAttribute('disabled')"), L"true,true");
    EXPECT_EQ(view.EvalString(
                  "l.style.width = '120px'; l.style.backgroundColor = 'red'; l.style.width + ';' + l.style.cssText"),
              L"120px;width: 120px; background-color: red;");
    EXPECT_EQ(view.EvalInt("l.offsetWidth"), 120);
    // DOM misuse throws inside the script, never in the host.
    EXPECT_EQ(view.EvalString("try { l.removeChild(document.body); 'no' } catch (e) { 'threw' }"), L"threw");
    EXPECT_EQ(view.EvalString("try { document.querySelector('>>') } catch (e) { e.name }"), L"SyntaxError");
    EXPECT_EQ(view.EvalString("try { l.appendChild(document.body); 'no' } catch (e) { 'threw' }"), L"threw");
    // A script cannot build a tree deeper than the engine lays out.
    EXPECT_EQ(view.EvalString(
                  "var p = document.body; try { for (var i = 0; i < 5000; ++i) { var d = document.createElement('div');"
                  " p.appendChild(d); p = d; } 'no' } catch (e) { e.name }"),
              L"RangeError");
    view.Render();
}

TEST(Script, EventsBubbleAndCanBePrevented)
{
    TestView view(400, 300);
    view.Load(
        "<body style='margin:0'><div id=outer style='width:200px;height:100px'>"
        "<button id=btn style='width:80px;height:30px' onclick='window.inline = (window.inline||0) + "
        "1'>go</button></div>"
        "<input id=cb type=checkbox style='position:absolute;left:300px;top:10px'>"
        "<script>var log = [];"
        "document.getElementById('outer').addEventListener('click', function(e){ log.push('outer:' + e.target.id); });"
        "document.getElementById('btn').onclick = function(e){ log.push('btn'); };"
        "document.addEventListener('click', function(){ log.push('doc'); });"
        "document.getElementById('cb').addEventListener('click', function(e){ if (window.block) e.preventDefault(); });"
        "document.getElementById('cb').addEventListener('change', function(e){ log.push('change:' + e.target.checked); "
        "});"
        "</script></body>");
    view.Click(20, 10);
    EXPECT_EQ(view.EvalString("log.join(',')"), L"btn,outer:btn,doc");
    EXPECT_EQ(view.EvalInt("window.inline || 0"), 0);  // a script property replaces the attribute handler
    view.Click(306, 16);
    EXPECT_EQ(view.EvalString("log.slice(3).join(',')"), L"doc,change:true");  // the click bubbles before the change
    view.Eval("window.block = true");
    view.Click(306, 16);
    EXPECT_TRUE(view.EvalBool("document.getElementById('cb').checked"));  // prevented: stays checked
    EXPECT_EQ(view.EvalString("document.getElementById('btn').dispatchEvent(new Event('click', {bubbles: true})) + ''"),
              L"true");
}

TEST(Script, ExceptionsAreLoggedWithFileAndLineAndThePageGoesOn)
{
    DebugCapture capture;
    TestView view(200, 100);
    view.files[L"file://test/bad.js"] = "var ok1 = 1;\n\nnoSuchFunction();\n";
    view.Load("<script src='bad.js'></script><script>var ok2 = 2; (function(){ throw new Error('boom') })()</script>"
              "<script>var ok3 = 3;</script><div id=x onclick='undefinedThing()'></div>");
    EXPECT_EQ(view.EvalInt("ok1 + ok2 + ok3"), 6);
    view.Eval("document.getElementById('x').click()");
    bool sawFile = false, sawBoom = false, sawHandler = false;
    for (auto& line : capture.Lines()) {
        if (line.find(L"sciter32.dll=>script error: file://test/bad.js(3): ReferenceError") == 0)
            sawFile = true;
        if (line.find(L"script error: file://test/page.htm(1): Error: boom") != std::wstring::npos)
            sawBoom = true;
        if (line.find(L"undefinedThing") != std::wstring::npos)
            sawHandler = true;
    }
    EXPECT_TRUE(sawFile);
    EXPECT_TRUE(sawBoom);
    EXPECT_TRUE(sawHandler);
}

TEST(Script, TimersFireOnceOrRepeatAndCanBeCleared)
{
    TestView view(200, 100);
    view.Load("<script>var once = 0, many = 0, cleared = 0;"
              "setTimeout(function(){ once++; }, 20);"
              "var iv = setInterval(function(){ if (++many == 3) clearInterval(iv); }, 15);"
              "var c = setTimeout(function(){ cleared++; }, 30); clearTimeout(c);"
              "setTimeout(function(){ throw new Error('in timer'); }, 5);</script>");
    view.Pump(400);
    EXPECT_EQ(view.EvalInt("once"), 1);
    EXPECT_EQ(view.EvalInt("many"), 3);
    EXPECT_EQ(view.EvalInt("cleared"), 0);
    EXPECT_TRUE(view.Engine()->Page()->Timers().empty());
}

TEST(Script, ViewCallsReachTheHostFirstThenTheEngine)
{
    TestView view(300, 200);
    HostHandler host;
    view.api->SciterWindowAttachEventHandler(view.hwnd, HostHandler::Proc, &host, HANDLE_ALL);
    view.Load("<body></body>");
    EXPECT_EQ(view.EvalString("view.invoke('GetLicense', '[]')"), L"host:GetLicense:[]");
    EXPECT_EQ(view.EvalString("view.call('keep', {a: 1}) + ''"), L"true");
    // Not handled by the host: the engine's own window functions.
    view.Eval("view.move(100, 120, 250, 150)");
    RECT wr {};
    GetWindowRect(view.hwnd, &wr);
    EXPECT_EQ(wr.left, 100);
    EXPECT_EQ(wr.right - wr.left, 250);
    EXPECT_EQ(view.EvalString("view.windowRect().join(',')"), L"100,120,350,270");
    EXPECT_EQ(view.EvalString("try { view.open_frame('x', 'y', {}); 'no' } catch (e) { 'unhandled' }"), L"unhandled");
    // Errors thrown out of natives leave no script marked as running.
    EXPECT_EQ(view.EvalString("try { document.querySelector('>>') } catch (e) { 'x' }"), L"x");
    EXPECT_FALSE(ScriptRunning());
    EXPECT_EQ(host.calls.front(), "invoke");
}

TEST(Script, ValuesPassBetweenWindowsAndFunctionsCanBeInvoked)
{
    TestView a(200, 100), b(200, 100);
    HostHandler host;
    a.api->SciterWindowAttachEventHandler(a.hwnd, HostHandler::Proc, &host, HANDLE_ALL);
    b.api->SciterWindowAttachEventHandler(b.hwnd, HostHandler::Proc, &host, HANDLE_ALL);
    a.Load("<script>var count = 0; var lang = {hello: 'Hallo'};"
           "view.call('keep', {postmsg: function(m){ count++; return m + '!' }, pThis: lang, n: 3});</script>");
    b.Load("<script>var p = view.call('give'); var r = p.postmsg('click left'); var t = p.pThis.hello + p.n;</script>");
    EXPECT_EQ(b.EvalString("r"), L"click left!");
    EXPECT_EQ(b.EvalString("t"), L"Hallo3");
    EXPECT_EQ(a.EvalInt("count"), 1);  // the function ran in its own page

    // The host reads the object and calls its function.
    he::Value key, fn, result, arg;
    he::SetString(key.get(), L"postmsg");
    ASSERT_EQ(ValueGetValueOfKey(host.stored.get(), key.get(), fn.get()), 0u);
    EXPECT_EQ(fn.get()->t, static_cast<UINT>(T_OBJECT));
    EXPECT_EQ(fn.get()->u, static_cast<UINT>(UT_OBJECT_FUNCTION));
    he::SetString(arg.get(), L"from host");
    ASSERT_EQ(ValueInvoke(fn.get(), nullptr, 1, arg.get(), result.get(), L"test"), 0u);
    EXPECT_EQ(he::ValueText(result.get()), L"from host!");
    EXPECT_EQ(a.EvalInt("count"), 2);
    // Object keys and JSON of a live object.
    he::SetString(key.get(), L"n");
    ValueGetValueOfKey(host.stored.get(), key.get(), result.get());
    INT n = 0;
    ValueIntData(result.get(), &n);
    EXPECT_EQ(n, 3);
    he::Value json(*host.stored.get());
    ValueToString(json.get(), CVT_JSON_LITERAL);
    EXPECT_EQ(he::ValueText(json.get()), L"{\"pThis\":{\"hello\":\"Hallo\"},\"n\":3}");
    // A function that throws reports an error code, not a crash.
    b.Eval("var bad = function(){ throw new Error('x') }; view.call('keep', bad)");
    EXPECT_EQ(ValueInvoke(host.stored.get(), nullptr, 0, nullptr, result.get(), L"t"),
              static_cast<UINT>(HV_SCRIPT_ERROR));
}

TEST(Script, CloseRequestsCanBeRefused)
{
    TestView view(200, 100);
    view.Load("<script>var asked = 0; view.onclose = function(){ asked++; return window.allow === true; };</script>");
    SendMessageW(view.hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(view.hwnd));
    EXPECT_EQ(view.EvalInt("asked"), 1);
    view.Eval("window.allow = true");
    BOOL handled = TRUE;
    view.api->SciterProcND(view.hwnd, WM_CLOSE, 0, 0, &handled);
    EXPECT_FALSE(handled);  // allowed: the host's default handling closes it
}

TEST(Script, ALoopingScriptIsStoppedAndThePageGoesOn)
{
    DebugCapture capture;
    TestView view(200, 100);
    // The catch block cannot keep it alive: once the limit is passed every step throws.
    view.Load("<script>var before = 1; try { for (;;) {} } catch (e) { for (;;) {} }</script>"
              "<script>var after = 2;</script>");
    EXPECT_EQ(view.EvalInt("before + after"), 3);
    bool sawTimeout = false;
    for (auto& line : capture.Lines())
        if (line.find(L"script error") != std::wstring::npos && line.find(L"RangeError") != std::wstring::npos)
            sawTimeout = true;
    EXPECT_TRUE(sawTimeout);
    // The clock starts again for the next entry: ordinary scripts still run.
    EXPECT_EQ(view.EvalInt("(function(){ var n = 0; for (var i = 0; i < 100000; ++i) n += 1; return n; })()"), 100000);
}

TEST(Script, AnExceptionFromTheHostBecomesAScriptError)
{
    TestView view(200, 100);
    HostHandler host;
    view.api->SciterWindowAttachEventHandler(view.hwnd, HostHandler::Proc, &host, HANDLE_ALL);
    view.Load("<script>var got = ''; try { view.call('boom'); } catch (e) { got = 'caught'; } var after = 1;</script>");
    EXPECT_EQ(view.EvalInt("after"), 1);
    EXPECT_EQ(view.EvalInt("got === 'caught' ? 1 : 0"), 1);
}
