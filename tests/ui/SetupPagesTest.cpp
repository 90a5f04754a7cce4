// The setup pages as the user meets them: progress display, install command,
// quit and stop dialogs, dialog placement, the uninstall questionnaire and
// the language tables.
#include <gtest/gtest.h>

#include <set>

#include "tests/ui/SetupPagesSupport.h"

namespace {

Json::Value Obj(const std::string& text)
{
    return ParseJson(text);
}

// The first argument of each recorded call.
std::vector<std::string> FirstArgs(const std::vector<NativeCall>& calls)
{
    std::vector<std::string> out;
    for (const auto& c : calls)
        out.push_back(c.args.isArray() && !c.args.empty() ? c.args[0].asString() : Json::FastWriter().write(c.args));
    return out;
}

class InstallPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        s.Show(L"install");
        s.Send("setlanguage", Obj(R"({"lan":"en_US"})"));
        s.Send("setinstallpath", Obj(R"({"path":"C:\\Program Files"})"));
        s.Send("waitforpath", Obj(R"({"action":"ask"})"));
        s.Take();
    }
    std::string Click(const std::string& id) { return Narrow(s.Eval("$('" + id + "').click(); 'ok'")); }
    PageSession s;
};

}  // namespace

TEST_F(InstallPage, ProgressIsScaledThenNinetyNineCountsUpAndFinishesOnce)
{
    s.Send("processlist", Obj(R"({"progress":30})"));
    EXPECT_EQ(s.Text("percent"), L"27%");
    EXPECT_EQ(s.Eval("$('bar').style.width"), L"27%");
    s.Send("processlist", Obj(R"({"progress":98})"));
    EXPECT_EQ(s.Text("percent"), L"89%");
    s.Eval("var seen = []; var shown = show_percent; show_percent = function (n) { seen.push(n); shown(n); }; 1");
    s.Send("processlist", Obj(R"({"progress":99})"));
    s.Send("processlist", Obj(R"({"progress":99})"));  // a repeated 99 starts nothing new
    s.Pump(900);
    EXPECT_EQ(s.Eval("seen.join(',')"), L"91,92,93,94,95,96,97,98,99");
    EXPECT_EQ(s.Text("percent"), L"99%");
    const auto finish = s.Take("OnInstallFinish");
    ASSERT_EQ(finish.size(), 1u);
    EXPECT_EQ(FirstArgs(finish), std::vector<std::string> {"run"});
    EXPECT_EQ(s.Eval("view.progress_num"), L"99");
    // Later progress does not overwrite the finished count.
    s.Send("processlist", Obj(R"({"progress":50})"));
    EXPECT_EQ(s.Text("percent"), L"99%");
}

TEST_F(InstallPage, QuickAndCustomInstallSendTheCommandWithTheCheckedFolder)
{
    EXPECT_EQ(s.Text("install"), L"Quick Install");
    EXPECT_FALSE(s.Shown("path_row"));
    Click("install");
    auto checked = s.Take("DecisionPath");
    ASSERT_EQ(checked.size(), 1u);
    EXPECT_EQ(checked[0].args[0].asString(), "C:\\Program Files");
    s.Take();  // (the recorder keeps the order; checked separately below)
    Click("install");
    auto all = s.Take();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].name, "SendSignal");
    EXPECT_EQ(Json::FastWriter().write(all[1].args),
              "{\"action\":\"ok\",\"anoshortcut\":false,\"desktop\":true,\"inoshortcut\":false,"
              "\"path\":\"C:\\\\Program Files\\\\Larkspur\",\"quick\":true,\"type\":\"installparameter\"}\n");
    EXPECT_EQ(all[2].name, "PostSetupLog");
    EXPECT_EQ(Json::FastWriter().write(all[2].args), "[\"quickstart\",\"progress\"]\n");

    Click("custom");
    EXPECT_EQ(s.Text("install"), L"Start");
    EXPECT_EQ(s.Text("custom"), L"Quick Install>");
    EXPECT_TRUE(s.Shown("path_row"));
    s.Eval("$('path').value = 'D:\\\\Apps'; $('path').dispatchEvent(new Event('input')); 1");
    Click("install");
    all = s.Take();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].args[0].asString(), "D:\\Apps");
    EXPECT_EQ(all[1].args["path"].asString(), "D:\\Apps\\Larkspur");
    EXPECT_TRUE(all[1].args["quick"].asBool());  // "quick" is true in both modes
    EXPECT_EQ(Json::FastWriter().write(all[2].args), "[\"customstart\",\"progress\"]\n");

    Click("custom");
    EXPECT_EQ(s.Text("install"), L"Quick Install");
    EXPECT_EQ(s.Text("custom"), L"Custom install>");
    EXPECT_FALSE(s.Shown("path_row"));
}

TEST_F(InstallPage, ARefusedFolderDisablesInstallUntilTheFieldChanges)
{
    s.decisionPath = [](const Json::Value&) { return std::string(R"({"statue":false,"error_code":"nospace"})"); };
    Click("custom");
    Click("install");
    EXPECT_EQ(s.Text("error"), L"Insufficient Disk Space. Please select a different destination!");
    EXPECT_EQ(s.Eval("$('install').disabled"), L"true");
    Click("install");                     // disabled: nothing is checked or sent,
    s.Eval("$('install').onclick(); 1");  // not even when the handler is called without a click
    EXPECT_EQ(s.Take("DecisionPath").size(), 1u) << "only the first press reached the check";
    EXPECT_TRUE(s.Take("SendSignal").empty());
    // The agreement cannot re-enable the button while the error shows, but it
    // gives back the path row, which is the way out of the error.
    Click("agree");
    Click("agree");
    EXPECT_EQ(s.Eval("[$('install').disabled, $('path').disabled, $('browse').disabled].join()"), L"true,false,false");
    // An unknown code reads as a wrong path; switching the mode clears the line.
    s.decisionPath = [](const Json::Value&) { return std::string(R"({"statue":false,"error_code":"weird"})"); };
    s.Eval("$('path').dispatchEvent(new Event('input')); 1");
    EXPECT_EQ(s.Text("error"), L"");
    EXPECT_EQ(s.Eval("$('install').disabled"), L"false");
    Click("install");
    EXPECT_EQ(s.Text("error"), L"Invalid installation directory. Please select a different destination!");
    // A language change translates the shown error.
    s.Send("setlanguage", Obj(R"({"lan":"zh_CN"})"));
    EXPECT_EQ(Narrow(s.Text("error")), "抱歉，安装路径错误，请重新选择！");
    // A valid folder from the folder dialog enables the button again.
    s.selectFolder = R"({"statue":true,"pos":"E:\\Tools"})";
    Click("browse");
    EXPECT_EQ(s.Eval("$('path').value"), L"E:\\Tools");
    EXPECT_EQ(s.Text("error"), L"");
    EXPECT_EQ(s.Eval("$('install').disabled"), L"false");
    // A cancelled folder dialog changes nothing.
    s.selectFolder = "";
    Click("browse");
    EXPECT_EQ(s.Eval("$('path').value"), L"E:\\Tools");
}

TEST_F(InstallPage, UncheckingTheAgreementDisablesInstallPathAndCustomLink)
{
    Click("agree");
    EXPECT_EQ(s.Eval("[$('install').disabled, $('path').disabled, $('custom').classList.contains('disabled')].join()"),
              L"true,true,true");
    Click("custom");
    EXPECT_EQ(s.Text("install"), L"Quick Install");  // the link is off
    Click("agree_text");                             // the text toggles the box too
    EXPECT_EQ(s.Eval("[$('install').disabled, $('path').disabled, $('custom').classList.contains('disabled')].join()"),
              L"false,false,false");
}

TEST_F(InstallPage, SystemCloseAsksAndConfirmingEndsTheUiWithoutCancel)
{
    PressDialogButtonLater("left", 300);
    ::SendMessageW(s.Root(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(::IsWindow(s.Root()));  // refused until the answer
    s.Pump(800);
    const auto calls = s.Take();
    std::vector<std::string> names;
    for (const auto& c : calls)
        names.push_back(c.name);
    EXPECT_EQ(names, std::vector<std::string> {"DestroyWindow"});
    EXPECT_EQ(PageSession::DialogCount(), 0);
}

TEST_F(InstallPage, AfterTheCloseButtonConfirmingSendsCancelEvenAfterACancelledDialog)
{
    PressDialogButtonLater("right", 300);
    Click("prepare_close");  // returns when the modal dialog has gone
    EXPECT_TRUE(s.Take().empty());
    EXPECT_EQ(s.Eval("[view.clickclose, view.bClose, view.canClose].join()"), L"true,false,false");

    PressDialogButtonLater("left", 300);
    ::SendMessageW(s.Root(), WM_CLOSE, 0, 0);
    s.Pump(800);
    const auto calls = s.Take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "SendSignal");
    EXPECT_EQ(Json::FastWriter().write(calls[0].args), "{\"action\":\"cancel\",\"type\":\"installparameter\"}\n");
    EXPECT_EQ(calls[1].name, "PostSetupLog");
    EXPECT_EQ(Json::FastWriter().write(calls[1].args), "[\"pathquit\",\"quit\"]\n");
    EXPECT_EQ(s.Eval("[view.bClose, view.canClose].join()"), L"true,true");
}

TEST_F(InstallPage, StopDialogIsSingleAndItsButtonsStopOrEndTheProcess)
{
    s.Send("waitforstopservice");
    EXPECT_EQ(FirstArgs(s.Take("showwin")), std::vector<std::string> {"hide"});
    HWND first = PageSession::Dialog();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Narrow(s.Text("dialog_text", first)), "Larkspur is still running. Larkspur will be closed to continue.");
    EXPECT_EQ(s.Text("left", first), L"OK");
    EXPECT_EQ(
        s.Eval("[$('left').classList.contains('primary'), $('right').classList.contains('primary')].join()", first),
        L"true,false");

    // Another window on top; a second request brings the dialog back over it.
    HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    s.Send("waitforstopservice");
    EXPECT_EQ(PageSession::DialogCount(), 1);
    EXPECT_EQ(PageSession::Dialog(), first);
    bool dialogAbove = false;
    for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
        if (w == first) {
            dialogAbove = true;
            break;
        }
        if (w == other)
            break;
    }
    EXPECT_TRUE(dialogAbove);
    ::DestroyWindow(other);
    s.Take();

    s.Eval("$('left').click(); 1", first);
    s.Pump(50);
    auto sent = s.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Json::FastWriter().write(sent[0].args), "{\"stop\":\"stop\",\"type\":\"stopservice\"}\n");
    EXPECT_EQ(PageSession::DialogCount(), 0);

    s.Send("waitforstopservice");
    s.Take();
    s.Eval("$('right').click(); 1", PageSession::Dialog());
    s.Pump(50);
    auto exits = s.Take();
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0].name, "ExitProcess");

    // The title bar's close button ends the process too.
    s.Send("waitforstopservice");
    s.Take();
    s.Eval("$('dialog_close').click(); 1", PageSession::Dialog());
    s.Pump(50);
    exits = s.Take();
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_EQ(exits[0].name, "ExitProcess");
    EXPECT_EQ(PageSession::DialogCount(), 0);
}

TEST_F(InstallPage, MinimisedThenClosedTheWindowAsksInADialogCentredOnTheMonitor)
{
    Click("prepare_min");
    EXPECT_TRUE(::IsIconic(s.Root()));
    const std::wstring screen = s.Eval("view.get_screen().join()");
    int l = 0, t = 0, r = 0, b = 0;
    ASSERT_EQ(swscanf(screen.c_str(), L"%d,%d,%d,%d", &l, &t, &r, &b), 4);
    RECT at {-1, -1, -1, -1};
    RunLater(
        [&] {
            if (HWND d = PageSession::Dialog()) {
                ::GetWindowRect(d, &at);
                s.Eval("$('right').click(); 1", d);
            }
        },
        300);
    ::SendMessageW(s.Root(), WM_CLOSE, 0, 0);
    s.Pump(800);
    EXPECT_EQ(at.left, (r - l - 439) / 2);
    EXPECT_EQ(at.top, (b - t - 226) / 2);
    EXPECT_TRUE(::IsWindow(s.Root()));  // "Cancel": the page stays
    EXPECT_TRUE(s.Take().empty());
}

TEST_F(InstallPage, DialogsSitBesideTheOpenerClampedToTheScreenOrCentred)
{
    const std::wstring screen = s.Eval("view.get_screen().join()");
    int l = 0, t = 0, r = 0, b = 0;
    ASSERT_EQ(swscanf(screen.c_str(), L"%d,%d,%d,%d", &l, &t, &r, &b), 4);
    struct Row {
        std::string rect;
        int left, top;
    } rows[] = {
        {"{left:100,top:100,right:699,bottom:499}", 100 + (599 - 439) / 2, 100 + (399 - 226) / 2},
        {"{left:" + std::to_string(r - 100) + ",top:" + std::to_string(b - 100) + ",right:" + std::to_string(r + 499) +
             ",bottom:" + std::to_string(b + 299) + "}",
         r - 439, b - 35 - 226},
        {"{left:0,top:0,right:200,bottom:100}", l, t},  // would start left of and above the screen
        {"{left:-32000,top:-32000,right:-31840,bottom:-31973}", (r - l - 439) / 2, (b - t - 226) / 2},
    };
    for (const auto& row : rows) {
        s.Eval("open_dialog({id:'stopapp', content:'Confirm_running', button1:'Continue_install', button2:'Cancel',"
               " pThis: window, rect:" +
               row.rect + "}, {}); 1");
        HWND dialog = PageSession::Dialog();
        ASSERT_NE(dialog, nullptr) << row.rect;
        RECT wr {};
        ::GetWindowRect(dialog, &wr);
        EXPECT_EQ(wr.left, row.left) << row.rect;
        EXPECT_EQ(wr.top, row.top) << row.rect;
        EXPECT_EQ(wr.right - wr.left, 439);
        EXPECT_EQ(wr.bottom - wr.top, 226);
        ::DestroyWindow(dialog);
        s.Pump(20);
    }
}

TEST_F(InstallPage, AFolderFromTheDialogThatFailsTheCheckDisablesInstallUntilTheFieldChanges)
{
    Click("custom");
    s.selectFolder = R"({"statue":false,"pos":"C:\\Windows\\System32","error_code":"toolong"})";
    Click("browse");
    EXPECT_EQ(s.Eval("$('path').value"), L"C:\\Windows\\System32");
    EXPECT_EQ(s.Text("error"), L"The specified path is too long. Please select a different destination!");
    EXPECT_EQ(s.Eval("$('install').disabled"), L"true");
    Click("install");
    EXPECT_TRUE(s.Take("SendSignal").empty());
    s.Eval("$('path').value = 'D:\\\\Apps'; $('path').dispatchEvent(new Event('input')); 1");
    EXPECT_EQ(s.Text("error"), L"");
    EXPECT_EQ(s.Eval("$('install').disabled"), L"false");
    // An answer that is not JSON changes nothing.
    s.selectFolder = "not json";
    Click("browse");
    EXPECT_EQ(s.Eval("$('path').value"), L"D:\\Apps");
}

TEST_F(InstallPage, TheLicenceTakesThePlaceOfThePathAreaUntilConfirmed)
{
    Click("protocol");
    EXPECT_EQ(s.Take("GetLicense").size(), 1u);
    EXPECT_EQ(s.Eval("$('licence') ? $('licence').textContent : ''"), L"Licence text");
    EXPECT_TRUE(s.Shown("license_pane"));
    EXPECT_FALSE(s.Shown("action_area"));
    EXPECT_FALSE(s.Shown("hero"));
    Click("license_ok");
    EXPECT_FALSE(s.Shown("license_pane"));
    EXPECT_TRUE(s.Shown("action_area"));
    EXPECT_TRUE(s.Shown("install"));
}

TEST_F(InstallPage, TextFieldMenusOfferTheFourEditCommandsInThePageLanguage)
{
    Click("custom");
    std::vector<std::string> labels;
    for (const auto& l : s.ContextMenu("path"))
        labels.push_back(Narrow(l));
    EXPECT_EQ(labels, (std::vector<std::string> {"Undo\tCtrl+Z", "Cut\tCtrl+X", "Copy\tCtrl+C", "Paste\tCtrl+V"}));
    s.Send("setlanguage", Obj(R"({"lan":"zh_CN"})"));
    labels.clear();
    for (const auto& l : s.ContextMenu("path"))
        labels.push_back(Narrow(l));
    EXPECT_EQ(labels, (std::vector<std::string> {"撤销\tCtrl+Z", "剪切\tCtrl+X", "复制\tCtrl+C", "黏贴\tCtrl+V"}));
}

TEST_F(InstallPage, PressAndMoveOnThePageDragsTheWindowAPressWithoutMoveIsAClick)
{
    RECT before {};
    ::GetWindowRect(s.Root(), &before);
    const POINT hero = s.Centre("hero");
    POINT p {before.left + hero.x, before.top + hero.y};
    // The secondary button never drags, held however far.
    s.Mouse(WM_RBUTTONDOWN, MK_RBUTTON, p);
    s.Mouse(WM_MOUSEMOVE, MK_RBUTTON, {p.x + 40, p.y + 30});
    s.Mouse(WM_RBUTTONUP, 0, {p.x + 40, p.y + 30});
    s.Mouse(WM_MOUSEMOVE, 0, {p.x + 50, p.y + 50});
    RECT unmoved {};
    ::GetWindowRect(s.Root(), &unmoved);
    EXPECT_EQ(unmoved.left, before.left);
    EXPECT_EQ(unmoved.top, before.top);

    s.Mouse(WM_LBUTTONDOWN, MK_LBUTTON, p);
    s.Mouse(WM_MOUSEMOVE, MK_LBUTTON, {p.x + 40, p.y + 30});
    s.Mouse(WM_MOUSEMOVE, MK_LBUTTON, {p.x + 65, p.y - 20});
    s.Mouse(WM_LBUTTONUP, 0, {p.x + 65, p.y - 20});
    RECT after {};
    ::GetWindowRect(s.Root(), &after);
    EXPECT_EQ(after.left - before.left, 65);  // the pressed point stays under the pointer
    EXPECT_EQ(after.top - before.top, -20);
    EXPECT_EQ(after.right - after.left, 599);
    // Moves without a pressed button move nothing.
    s.Mouse(WM_MOUSEMOVE, 0, {p.x + 200, p.y + 200});
    RECT still {};
    ::GetWindowRect(s.Root(), &still);
    EXPECT_EQ(still.left, after.left);

    // Press and release on the custom link without a move: a click.
    const POINT link = s.Centre("custom");
    p = {after.left + link.x, after.top + link.y};
    s.Mouse(WM_LBUTTONDOWN, MK_LBUTTON, p);
    s.Mouse(WM_LBUTTONUP, 0, p);
    ::GetWindowRect(s.Root(), &still);
    EXPECT_EQ(still.left, after.left);
    EXPECT_EQ(still.top, after.top);
    EXPECT_EQ(s.Text("install"), L"Start");
}

TEST_F(InstallPage, CarouselEasesInStaysCrossFadingFadesOutAndStopsAfterTheLastProgress)
{
    s.Send("changestatus", Obj(R"({"new":"install_uninstall"})"));
    // Driven tick by tick: the page's own timer is stopped.
    s.Eval("clearInterval(carousel.timer); carousel.show_slide(0); 1");
    EXPECT_EQ(s.Eval("$('slide1').querySelector('.pic1').getAttribute('src')"), L"res/rotate11_en_US.png");
    EXPECT_EQ(s.Eval("$('slide3').querySelector('.pic1').getAttribute('src')"), L"res/rotate31_en_US.png");
    EXPECT_EQ(s.Eval("$('slide1').querySelector('.pic1').style.left"), L"300px");
    // q(t) = 1 - (1 - t)^4 with t = 0.04 per tick: after 5 ticks 300 * 0.8^4.
    EXPECT_EQ(
        s.Eval("for (var i = 0; i < 5; ++i) carousel.tick();"
               "[$('slide1').querySelector('.pic1').style.left, $('slide1').querySelector('.pic2').style.left].join()"),
        L"123px,82px");
    EXPECT_EQ(s.Eval("for (var i = 5; i < 25; ++i) carousel.tick();"
                     "[carousel.phase, $('slide1').querySelector('.pic1').style.left].join()"),
              L"stay,0px");
    EXPECT_EQ(
        s.Eval("for (var i = 0; i < 25; ++i) carousel.tick();"
               "[$('slide1').querySelector('.pic2').style.opacity, $('slide1').querySelector('.pic3').style.opacity]"
               ".join()"),
        L"0.5,0.5");
    EXPECT_EQ(s.Eval("for (var i = 25; i < 50; ++i) carousel.tick(); carousel.phase"), L"fade");
    EXPECT_EQ(s.Eval("for (var i = 0; i < 5; ++i) carousel.tick(); $('slide1').style.opacity"), L"0.5");
    EXPECT_EQ(s.Eval("for (var i = 5; i < 10; ++i) carousel.tick();"
                     "[carousel.slide, carousel.phase, $('slide1').style.display, $('slide2').style.display].join()"),
              L"1,enter,none,block");
    // After progress 99 the current slide ends its stay and the carousel stops there.
    s.Send("processlist", Obj(R"({"progress":99})"));
    EXPECT_EQ(s.Eval("for (var i = 0; i < 74; ++i) carousel.tick(); carousel.phase"), L"stay");
    EXPECT_EQ(s.Eval("carousel.tick(); carousel.tick(); [carousel.phase, carousel.slide].join()"), L"stopped,1");
    // A language without pictures of its own shows the Chinese ones.
    EXPECT_EQ(s.Eval("carousel.set_language('xx_XX'); $('slide2').querySelector('.pic1').getAttribute('src')"),
              L"res/rotate21_zh_CN.png");
}

TEST_F(InstallPage, ThePathFieldSwallowsEnterAndTabAndTypingClearsAnError)
{
    s.decisionPath = [](const Json::Value&) { return std::string(R"({"statue":false,"error_code":"toolong"})"); };
    Click("custom");
    Click("install");
    ASSERT_EQ(s.Eval("$('install').disabled"), L"true");
    s.Take();
    s.Eval("$('path').focus(); 1");
    for (WPARAM key : {VK_TAB, VK_RETURN}) {
        ::SendMessageW(s.Root(), WM_KEYDOWN, key, 0);
        ::SendMessageW(s.Root(), WM_KEYUP, key, 0);
    }
    EXPECT_EQ(s.Eval("document.activeElement.id"), L"path");
    EXPECT_TRUE(s.Take().empty());
    EXPECT_EQ(s.Eval("$('install').disabled"), L"true");
    // A typed character changes the value: the error goes, the button comes back.
    ::SendMessageW(s.Root(), WM_KEYDOWN, 'X', 0);
    ::SendMessageW(s.Root(), WM_CHAR, 'x', 0);
    ::SendMessageW(s.Root(), WM_KEYUP, 'X', 0);
    s.Pump(20);
    EXPECT_EQ(s.Eval("$('path').value"), L"C:\\Program Filesx");
    EXPECT_EQ(s.Text("error"), L"");
    EXPECT_EQ(s.Eval("$('install').disabled"), L"false");
}

// The engine's statuses before and after the preparation pane.
TEST(InstallPageStatuses, ProgressBeforeAnyPaneThenSkipRunNowAndSuccess)
{
    PageSession s;
    s.Show(L"install");
    s.Send("setlanguage", Obj(R"({"lan":"en_US"})"));
    // 99 before any pane is shown, twice: one finish count, one report.
    s.Send("processlist", Obj(R"({"progress":99})"));
    s.Send("processlist", Obj(R"({"progress":99})"));
    s.Pump(800);
    EXPECT_EQ(s.Take("OnInstallFinish").size(), 1u);
    EXPECT_EQ(s.Text("percent"), L"99%");

    s.Send("waitforpath", Obj(R"({"action":"invalid"})"));
    EXPECT_TRUE(s.Take().empty());
    s.Send("waitforpath", Obj(R"({"action":"skip"})"));
    EXPECT_EQ(FirstArgs(s.Take("showwin")), std::vector<std::string> {"show"});
    EXPECT_TRUE(s.Shown("progress_pane"));
    EXPECT_FALSE(s.Shown("prepare"));
    EXPECT_EQ(s.Eval("[view.bClose, view.canClose, $('progress_close').disabled].join()"), L"true,false,true");
    // Now the user cannot close the window, and is not asked either.
    ::SendMessageW(s.Root(), WM_CLOSE, 0, 0);
    s.Pump(50);
    EXPECT_TRUE(::IsWindow(s.Root()));
    EXPECT_EQ(PageSession::DialogCount(), 0);
    EXPECT_TRUE(s.Take().empty());

    s.Send("waitforrunnow");
    auto sent = s.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Json::FastWriter().write(sent[0].args), "{\"runnow\":true,\"type\":\"runnow\"}\n");
    s.Send("changestatus", Obj(R"({"new":"install_running"})"));  // other statuses: nothing
    EXPECT_TRUE(s.Take().empty());
    s.Send("changestatus", Obj(R"({"new":"install_success"})"));
    const auto calls = s.Take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "OnDetail");
    EXPECT_EQ(FirstArgs({calls[0]}), std::vector<std::string> {"true"});
    EXPECT_EQ(calls[1].name, "DestroyWindow");
    s.Pump(30);
    EXPECT_FALSE(::IsWindow(s.Root()));
}

TEST_F(InstallPage, AnInstallAfterTheUninstallOfTheOldVersionShowsProgressAndAnErrorEndsWithoutSuccess)
{
    s.Send("changestatus", Obj(R"({"new":"install_uninstall"})"));
    EXPECT_EQ(FirstArgs(s.Take("showwin")), std::vector<std::string> {"show"});
    EXPECT_TRUE(s.Shown("progress_pane"));
    EXPECT_FALSE(s.Shown("prepare"));
    s.Send("changestatus", Obj(R"({"new":"install_error"})"));
    const auto calls = s.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].name, "DestroyWindow");
    s.Pump(30);
    EXPECT_FALSE(::IsWindow(s.Root()));
}

TEST(NoticePages, ShowTheTranslatedHintAndEndTheProcessOnClose)
{
    {
        PageSession s;
        s.Show(L"existmutex", L"th_TH");
        s.Pump(50);
        EXPECT_EQ(Narrow(s.Text("notice_text")), "ตัวช่วยติดตั้ง Larkspur ยังทำงานอยู่ โปรดปิดแล้วลองอีกครั้ง");
        EXPECT_EQ(Narrow(s.Text("close")), "ปิด");
        RECT wr {};
        ::GetWindowRect(s.Root(), &wr);
        EXPECT_EQ(wr.right - wr.left, 419);
        EXPECT_EQ(wr.bottom - wr.top, 203);
        s.Take();
        s.Eval("$('close').click(); 1");
        s.Pump(30);
        const auto calls = s.Take();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].name, "ExitProcess");
        EXPECT_FALSE(::IsWindow(s.Root()));
    }
    // The other notice, closed from its title bar.
    PageSession other;
    other.Show(L"noini", L"id_ID");
    other.Pump(50);
    EXPECT_EQ(other.Text("notice_text"), L"File ini yang diperlukan tidak ditemukan.");
    other.Take();
    other.Eval("$('notice_close').click(); 1");
    other.Pump(30);
    const auto closed = other.Take();
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].name, "ExitProcess");
    EXPECT_FALSE(::IsWindow(other.Root()));
}

TEST(Languages, UnknownCodesFallBackToChineseAndMissingKeysLeaveTheText)
{
    PageSession s;
    s.Show(L"noini", L"de_DE");
    s.Pump(50);
    EXPECT_EQ(Narrow(s.Text("notice_text")), "找不到安装（卸载）的ini文件");
    s.Send("setlanguage", Obj(R"({"lan":"en_US"})"));
    EXPECT_EQ(s.Text("notice_text"), L"The required ini file is not found.");
    s.Send("setlanguage", Obj(R"({"lan":"EN_us"})"));
    EXPECT_EQ(s.Eval("language_manager.code"), L"zh_CN");
    s.Send("setlanguage", Obj(R"({"lan":"__proto__"})"));
    EXPECT_EQ(s.Eval("language_manager.code"), L"zh_CN");
    EXPECT_EQ(s.Eval("translation($('notice_text'), 'No_such_key'); $('notice_text').textContent"),
              s.Eval("language_tables.zh_CN.Hint_noini"));
    EXPECT_EQ(s.Eval("translation($('notice_text'), 'toString'); $('notice_text').textContent"),
              s.Eval("language_tables.zh_CN.Hint_noini"));
    // Every table has every key of the English one; the four added languages translate.
    EXPECT_EQ(s.Eval(R"(
        var problems = [];
        var en = language_tables.en_US;
        ['zh_CN', 'th_TH', 'vi_VN', 'id_ID', 'zh_TW'].forEach(function (code) {
            var t = language_tables[code], same = 0, keys = 0;
            for (var k in en) {
                if (typeof t[k] !== 'string' || t[k] === '') problems.push(code + ':' + k);
                if (k !== 'font' && k !== 'Title_name') { ++keys; if (t[k] === en[k]) ++same; }
            }
            for (var k2 in t) if (!(k2 in en)) problems.push(code + ' extra ' + k2);
            if (same * 5 > keys) problems.push(code + ' mostly English');
        });
        problems.join(' '))"),
              L"");
}

namespace {

class UninstallPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        s.Show(L"uninstall");
        s.Send("setlanguage", Obj(R"({"lan":"en_US"})"));
        s.Send("waitforuninstall");
        EXPECT_EQ(FirstArgs(s.Take("showwin")), std::vector<std::string> {"show"});
        s.Take();
    }
    Json::Value Uninstall()
    {
        s.Eval("$('uninstall').click(); 1");
        auto sent = s.Take("SendSignal");
        return sent.size() == 1 ? sent[0].args : Json::Value();
    }
    PageSession s;
};

}  // namespace

TEST_F(UninstallPage, TwoReasonsASuggestionAndTheOptionOffMakeTheEncodedAnswer)
{
    s.Eval("$('reason2_text').click(); $('reason1').click(); $('reason2_text').click();"
           "$('suggestion').value = 'Fix \\u00A4 it\\u203B'; $('deleteall_text').dispatchEvent("
           "{type: 'mouseup', button: 0}); uninstall.start = Date.now() - 3600; 1");
    const Json::Value c = Uninstall();
    EXPECT_EQ(c["type"].asString(), "uninstallparameter");
    EXPECT_EQ(c["action"].asString(), "ok");
    EXPECT_FALSE(c["deleteall"].asBool());
    EXPECT_FALSE(c.isMember("deleteservice"));
    const Json::Value& a = c["reason"];
    EXPECT_EQ(a.getMemberNames().size(), 7u);
    EXPECT_EQ(a["paperID"].asInt(), 1846);
    EXPECT_EQ(a["usedTime"].asInt(), 3);
    EXPECT_EQ(a["questionIDList"].asString(), "43930%A443931%A443932%A443933%A443934");
    EXPECT_EQ(a["selectedQuestionItemIDList"].asString(), "214979%A4214980%A4214981%A4214984%E2%80%BB214985%A4214992");
    EXPECT_EQ(a["hQuestionItemIDList"].asString(), "%A4%A4%A4%E2%80%BB%A4");
    EXPECT_EQ(a["selectedQuestionItemValueList"].asString(), "%A4%A4%A4%E2%80%BB%A4");
    EXPECT_EQ(a["answerContentList"].asString(), "%A4%A4%A4%E2%80%BB%A4Fix%20%20it");
    // The questionnaire makes way for the progress; the close button is off.
    EXPECT_EQ(s.Eval("[$('questionnaire').classList.contains('hidden'), $('uninstall_close').disabled].join()"),
              L"true,true");
}

TEST_F(UninstallPage, NoneOrOneReasonLeaveTheItemSeparatorsOutAndTheOptionStartsChecked)
{
    const Json::Value none = Uninstall();
    EXPECT_TRUE(none["deleteall"].asBool());
    EXPECT_EQ(none["reason"]["selectedQuestionItemIDList"].asString(), "214979%A4214980%A4214981%A4%A4214992");
    EXPECT_EQ(none["reason"]["hQuestionItemIDList"].asString(), "%A4%A4%A4%A4");
    EXPECT_EQ(none["reason"]["answerContentList"].asString(), "%A4%A4%A4%A4");
    EXPECT_EQ(s.Eval("JSON.stringify(questionnaire.answer(['214991'], '', 0))"),
              s.Eval("JSON.stringify({paperID: 1846, usedTime: 0,"
                     " questionIDList: '43930%A443931%A443932%A443933%A443934',"
                     " hQuestionItemIDList: '%A4%A4%A4%A4',"
                     " selectedQuestionItemIDList: '214979%A4214980%A4214981%A4214991%A4214992',"
                     " selectedQuestionItemValueList: '%A4%A4%A4%A4', answerContentList: '%A4%A4%A4%A4'})"));
}

TEST_F(UninstallPage, TheEncoderKeepsUnreservedAsciiAndEscapesEveryOtherUnit)
{
    // Units from 0x100 up take the three-byte form too.
    EXPECT_EQ(s.Eval("questionnaire.encode('aZ09-._~ !*\\'()%\\u00FF\\u0100\\u4E2D')"),
              L"aZ09-._~%20%21%2A%27%28%29%25%FF%E0%84%80%E4%B8%AD");
    // A character outside the basic plane is two units, each in three escapes.
    EXPECT_EQ(s.Eval("questionnaire.encode('\\uD83D\\uDE00')"), L"%ED%A0%BD%ED%B8%80");
    // A long suggestion in another script still gives a field of escapes only.
    EXPECT_EQ(s.Eval("var long = new Array(10001).join('\\u0E01'); var e = questionnaire.answer([], long, 0)"
                     ".answerContentList; [e.length, /^[A-Za-z0-9%._~-]*$/.test(e)].join()"),
              L"90012,true");
}

TEST_F(UninstallPage, ProgressIsUnscaledAndTheWindowThenRefusesToClose)
{
    ::SendMessageW(s.Root(), WM_NULL, 0, 0);
    s.Send("processlist", Obj(R"({"progress":42})"));
    EXPECT_EQ(s.Text("percent"), L"42%");
    EXPECT_TRUE(s.Shown("progress_pane"));
    EXPECT_FALSE(s.Shown("questionnaire"));
    EXPECT_FALSE(s.Shown("uninstall_buttons"));
    ::SendMessageW(s.Root(), WM_CLOSE, 0, 0);
    s.Pump(50);
    EXPECT_TRUE(::IsWindow(s.Root()));
    EXPECT_TRUE(s.Take().empty());
    s.Send("changestatus", Obj(R"({"new":"uninstall_success","delete":true})"));
    const auto calls = s.Take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "OnDetail");
    EXPECT_EQ(FirstArgs({calls[0]}), std::vector<std::string> {"true"});
    EXPECT_EQ(calls[1].name, "DestroyWindow");
    s.Pump(30);
    EXPECT_FALSE(::IsWindow(s.Root()));
}

TEST_F(UninstallPage, ACloseRequestBeforeTheProgressEndsThePageWithoutSending)
{
    ::SendMessageW(s.Root(), WM_CLOSE, 0, 0);
    s.Pump(80);
    const auto calls = s.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].name, "DestroyWindow");
    EXPECT_FALSE(::IsWindow(s.Root()));
}

TEST_F(UninstallPage, ACloseRequestBetweenUninstallAndTheFirstProgressIsRefusedUntilTheRemovalEnds)
{
    Uninstall();
    ::SendMessageW(s.Root(), WM_CLOSE, 0, 0);
    s.Pump(80);
    EXPECT_TRUE(::IsWindow(s.Root()));
    EXPECT_TRUE(s.Take().empty());
    s.Send("processlist", Obj(R"({"progress":10})"));
    ::SendMessageW(s.Root(), WM_CLOSE, 0, 0);
    s.Pump(50);
    EXPECT_TRUE(::IsWindow(s.Root()));
    s.Send("changestatus", Obj(R"({"new":"uninstall_success","delete":true})"));
    const auto calls = s.Take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].name, "DestroyWindow");
}

TEST_F(UninstallPage, TheStopDialogStopsTheProductOrEndsTheProcessAndAnErrorEndsWithoutSuccess)
{
    s.Send("waitforstopservice");
    EXPECT_EQ(FirstArgs(s.Take("showwin")), std::vector<std::string> {"hide"});
    HWND dialog = PageSession::Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(s.Text("dialog_text", dialog), L"Larkspur is still running. Larkspur will be closed to continue.");
    EXPECT_EQ(s.Eval("[$('left').textContent, $('right').classList.contains('primary')].join()", dialog), L"OK,true");
    s.Eval("$('left').click(); 1", dialog);
    s.Pump(50);
    auto sent = s.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Json::FastWriter().write(sent[0].args), "{\"stop\":\"stop\",\"type\":\"stopservice\"}\n");
    EXPECT_EQ(PageSession::DialogCount(), 0);

    s.Send("waitforstopservice");
    s.Take();
    s.Eval("$('right').click(); 1", PageSession::Dialog());
    s.Pump(50);
    sent = s.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].name, "ExitProcess");

    s.Send("changestatus", Obj(R"({"new":"uninstall_error"})"));
    const auto calls = s.Take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].name, "DestroyWindow");
}

TEST_F(UninstallPage, SuccessWithoutDeletionReportsFalseAndTheSuggestionFieldHasTheEditMenu)
{
    std::vector<std::string> labels;
    for (const auto& l : s.ContextMenu("suggestion"))
        labels.push_back(Narrow(l));
    EXPECT_EQ(labels, (std::vector<std::string> {"Undo\tCtrl+Z", "Cut\tCtrl+X", "Copy\tCtrl+C", "Paste\tCtrl+V"}));
    s.Send("changestatus", Obj(R"({"new":"uninstall_success","delete":false})"));
    const auto calls = s.Take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(FirstArgs({calls[0]}), std::vector<std::string> {"false"});
    EXPECT_EQ(calls[1].name, "DestroyWindow");
}
