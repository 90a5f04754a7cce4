// The uninstall page: questionnaire, option, progress.
var uninstall = { start: Date.now(), end: 0, reasons: [1, 2, 3, 4, 5, 6] };

function checked_ids() {
    var ids = [];
    for (var i = 0; i < uninstall.reasons.length; ++i) {
        var box = $('reason' + uninstall.reasons[i]);
        if (box.checked) ids.push(box.getAttribute('value'));
    }
    return ids;
}

function end_page() {
    view.bClose = true;
    view.canClose = true;
    view.close();
    native_buss.invoke('DestroyWindow', []);
}

function show_progress_pane() {
    $('uninstall_close').disabled = true;
    show($('questionnaire'), false);
    show($('uninstall_buttons'), false);
    show($('progress_pane'), true);
}

function start_uninstall() {
    uninstall.end = Date.now();
    var seconds = Math.max(0, Math.floor((uninstall.end - uninstall.start) / 1000));
    var answer = questionnaire.answer(checked_ids(), $('suggestion').value, seconds);
    native_buss.send({ type: 'uninstallparameter', action: 'ok', deleteall: $('deleteall').checked, reason: answer });
    // The removal has begun: from now on every close request is refused, as
    // after the first progress, so the process cannot end halfway through.
    view.bClose = true;
    view.canClose = false;
    show_progress_pane();
}

var uninstall_handlers = {
    setlanguage: function (m) { language_manager.setLanguage(m.lan); },
    waitforuninstall: function () {
        native_buss.invoke('showwin', ['show']);
        uninstall.start = Date.now();
    },
    waitforstopservice: function () {
        native_buss.invoke('showwin', ['hide']);
        view.open_frame('Quayside Setup', 'file://app/installer/notify.htm',
                        { single: true, appwindow: true, shadow: true, transparent: false,
                          params: { id: 'stopapp_uninstall', content: 'Confirm_running_uninstall',
                                    button1: 'Continue_uninstall', button2: 'Cancel', pThis: window,
                                    postmsg: function (what) {
                                        if (what === 'click left') native_buss.send({ type: 'stopservice', stop: 'stop' });
                                    } } });
    },
    waitforrunnow: function () { native_buss.send({ type: 'runnow', runnow: true }); },
    processlist: function (m) {
        var p = typeof m.progress === 'number' ? Math.floor(m.progress) : parseInt(m.progress, 10);
        view.bClose = true;
        view.canClose = false;
        show_progress_pane();
        if (isNaN(p)) return;
        $('percent').textContent = p + '%';
        $('bar').style.width = Math.max(0, Math.min(100, p)) + '%';
        if (p >= 100) {
            show($('uninstalling'), false);
            show($('completed'), true);
        }
    },
    changestatus: function (m) {
        var status = m['new'];
        if (status === 'uninstall_success') {
            native_buss.invoke('OnDetail', [m['delete'] === true ? 'true' : 'false']);
            end_page();
        } else if (status === 'uninstall_error') {
            end_page();
        }
    }
};

for (var name in uninstall_handlers) {
    (function (fn) {
        message_center.add_handler('uninstall', name, function (n, body) { fn(parse_body(body)); });
    })(uninstall_handlers[name]);
}

// A close request from outside the page is refused; before the progress pane
// the page then ends itself.
view.onclose = function () {
    if (view.canClose) return true;
    if (!view.bClose) setTimeout(end_page, 1);
    return false;
};

for (var i = 1; i <= 6; ++i) {
    (function (box) {
        $('reason' + box + '_text').onclick = function () { $('reason' + box).checked = true; };
    })(i);
}
$('deleteall_text').onmouseup = function (ev) {
    if (ev.button === 0) $('deleteall').checked = !$('deleteall').checked;
};
$('uninstall').onclick = start_uninstall;
$('cancel').onclick = end_page;
$('uninstall_close').onclick = end_page;
$('uninstall_min').onclick = function () { view.minimize(); };

movable.enable();
centre_window(599, 377);
$('cancel').focus();
// Last: the host waits for this before the run starts.
native_buss.invoke('PageReady', []);
