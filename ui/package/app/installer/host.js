// Shared by the placeholder pages: native calls, the engine's messages, and
// placing the page window.
var $ = function (id) { return document.getElementById(id); };

function native(name, arg) { return view.invoke(name, JSON.stringify(arg)); }
function signal(message) { return view.invoke('SendSignal', JSON.stringify(message)); }

var handlers = {};
function on(name, fn) { (handlers[name] = handlers[name] || []).push(fn); }

view.init_trigger('changestatus,waitforpath,waitforrunnow,waitforstopservice,waitforuninstall,processlist,' +
                  'setlanguage,setinstallpath', function (name, body) {
    var message = {};
    try { message = JSON.parse(body); } catch (e) { view.log('host', 'bad message ' + name); return; }
    var list = handlers[name] || [];
    for (var i = 0; i < list.length; ++i) list[i](message);
});

// Sizes the window, centres it on the work area and shows the root window.
function showPage(width, height) {
    var s = view.get_screenex();
    view.move(Math.round((s[0] + s[2] - width) / 2), Math.round((s[1] + s[3] - height) / 2), width, height);
    native('showwin', ['show']);
}

function finish(ok) {
    native('OnDetail', [ok ? 'true' : 'false']);
    native('DestroyWindow', []);
}

// Asks in a modal dialog over this page; true when the user says yes.
function confirmModal(owner, text) {
    var answer = view.open_frame('confirm', 'file://app/installer/dialog.htm',
                                 { parent: owner, toolwindow: false, transparent: false, params: { text: text } });
    return answer === 'yes';
}
