// The dialog page: a question of the install or uninstall page, placed beside
// its opener, answered by one of two buttons.
var DIALOG_W = 439, DIALOG_H = 226, TASKBAR = 35;

var dialog = (function () {
    var p = view.get_params();
    if (p && typeof p === 'object' && p.params && typeof p.params === 'object') p = p.params;
    return p && typeof p === 'object' ? p : {};
})();

function text_key(v) { return typeof v === 'string' ? v : ''; }

// Where the dialog goes: beside the opener's client rectangle, kept on the
// screen less the taskbar; centred when there is no rectangle or the opener is
// minimised (negative coordinates, or an empty rectangle where the system
// keeps minimised windows on the screen).
function dialog_position(screen, rect) {
    var area = { left: screen[0], top: screen[1], right: screen[2], bottom: screen[3] - TASKBAR };
    var ok = rect && typeof rect === 'object';
    var r = ok ? [rect.left, rect.top, rect.right, rect.bottom] : [];
    for (var i = 0; ok && i < 4; ++i) ok = typeof r[i] === 'number' && isFinite(r[i]) && r[i] >= 0;
    ok = ok && r[2] > r[0] && r[3] > r[1];
    if (!ok)
        return { left: Math.floor((screen[2] - screen[0] - DIALOG_W) / 2),
                 top: Math.floor((screen[3] - screen[1] - DIALOG_H) / 2) };
    var left = r[0] + Math.floor((r[2] - r[0] - DIALOG_W) / 2);
    var top = r[1] + Math.floor((r[3] - r[1] - DIALOG_H) / 2);
    if (left + DIALOG_W > area.right) left = area.right - DIALOG_W;
    if (top + DIALOG_H > area.bottom) top = area.bottom - DIALOG_H;
    if (left < 0) left = area.left;
    if (top < 0) top = area.top;
    return { left: left, top: top };
}

function close_dialog() { view.close_frame(null); }

function opener_says(what) {
    if (typeof dialog.postmsg === 'function') {
        try { dialog.postmsg(what); } catch (e) { view.log('dialog', String(e)); }
    }
}

// The opener's language table.
var opener = dialog.pThis;
if (opener && typeof opener === 'object' && opener.language_manager && opener.language_manager.table) {
    language_manager.table = opener.language_manager.table;
    language_manager.code = opener.language_manager.code;
    language_manager.font = opener.language_manager.font || 'Arial';
}
$('dialog_text').translation(text_key(dialog.content));
$('left').translation(text_key(dialog.button1));
$('right').translation(text_key(dialog.button2));
translate_page();
var primary = dialog.id === 'stopapp' ? $('left') : $('right');
primary.classList.add('primary');
(primary === $('left') ? $('right') : $('left')).classList.add('secondary');

$('left').onclick = function () {
    close_dialog();
    if (dialog.id === 'stopapp') native_buss.send({ type: 'stopservice', stop: 'stop' });
    else opener_says('click left');
};
$('right').onclick = function () {
    close_dialog();
    if (dialog.id !== 'quitinstall') native_buss.invoke('ExitProcess', []);
};
$('dialog_close').onclick = function () {
    close_dialog();
    native_buss.invoke('ExitProcess', []);
};

movable.enable();
(function () {
    var at = dialog_position(view.get_screen(), dialog.rect);
    view.move(at.left, at.top, DIALOG_W, DIALOG_H);
})();
primary.focus();
